#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationViewControllerBase.h>
#include <memory>
#include <string_view>
#include <vector>

// A tool screen for an edit of several numbers: the preview, one captioned slider band per scalar
// value the class declares (in the declaration's order, top to bottom, the last in the control band
// and each other one 80 points above the next, taken from the picture) and the OK/Cancel bar. Each
// slider spreads its value's declared range by the declared mapping over −100 … 100, rests and
// snaps at the neutral value, and reads as the declaration says. Every slider step previews the
// working copy at high quality in the background; a finger held on the picture shows it without the
// edit. Main thread only.
class RUX_API RUXSlidersViewController final : public RUXTransformationViewControllerBase,
                                               public RUXImageViewDelegate,
                                               public RUXSliderDelegate,
                                               public RUXOkCancelBarDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Without an edit manager, or for a class
    // that is not registered, the screen has no working copy, shows no slider and OK commits nothing.
    static std::shared_ptr<RUXSlidersViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer,
                            const RUXClass& transformationClass);

    // The working copy; nullptr as said above.
    const RUXTransformationPtr& transformation() const { return m_transformation; }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }
    // Top to bottom; empty until the view has loaded.
    const std::vector<std::shared_ptr<RUXSlider>>& sliders() const { return m_sliders; }
    // The slider of the declared value with this key; nullptr for none.
    std::shared_ptr<RUXSlider> sliderForKey(std::string_view key) const;

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
    std::shared_ptr<RUXSlider> addSlider(const Graphics::Rect& frame, const RUXParameter& parameter);
    void showPreview();

    RUXTransformationPtr m_transformation;
    // Copies of the declared scalars, one per slider and in the same order, so that a host's
    // declaration may go while the screen shows.
    std::vector<RUXParameter> m_parameters;
    std::shared_ptr<RUXImageView> m_imageView;
    std::vector<std::shared_ptr<RUXSlider>> m_sliders;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
};
