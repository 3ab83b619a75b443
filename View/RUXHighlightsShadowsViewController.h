#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Label.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationViewControllerBase.h>

// The highlights-and-shadows tool screen: the preview, two sliders (highlights above, shadows
// below, each shown as −100 … 100 with 0 on the centre mark) and the OK/Cancel bar. The two slider
// bands take the control band and the 80 points above it from the image. Every slider step previews
// the working copy at high quality in the background; a finger held on the picture shows it without
// the edit. Main thread only.
class RUX_API RUXHighlightsShadowsViewController final : public RUXTransformationViewControllerBase,
                                                         public RUXImageViewDelegate,
                                                         public RUXSliderDelegate,
                                                         public RUXOkCancelBarDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Without an edit manager the screen has no
    // working copy and OK commits nothing.
    static std::shared_ptr<RUXHighlightsShadowsViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXHighlightsShadowsTransformation>& transformation() const {
        return m_transformation;
    }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXSlider>& highlightsSlider() const { return m_highlightsSlider; }
    const std::shared_ptr<RUXSlider>& shadowsSlider() const { return m_shadowsSlider; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }

    void viewDidLoad() override;
    // Sets the title and shows what the main screen showed, at once.
    void viewWillAppear(Toolkit::Animated animated) override;

    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;
    void sliderDidChangeValue(RUXSlider& slider, double value) override;
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();
    // A slider band with its caption, the thumb at the working copy's value of parameter.
    std::shared_ptr<RUXSlider> addSlider(const Graphics::Rect& frame, const char* caption,
                                         const char* parameter);
    void showPreview();

    std::shared_ptr<RUXHighlightsShadowsTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXSlider> m_highlightsSlider;
    std::shared_ptr<RUXSlider> m_shadowsSlider;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
};
