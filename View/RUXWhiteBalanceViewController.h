#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Button.h>
#include <Toolkit/GestureRecognizer.h>
#include <Transformation/RUXWhiteBalanceTransformation.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationViewControllerBase.h>
#include <optional>

// The white balance's tool screen: the preview, a tint slider above a temperature slider (which
// moves evenly in mired and shows kelvin), a dropper in the title band and the OK/Cancel bar. With
// the dropper on, a tap on the picture sets both values so that the tapped spot comes out neutral;
// with it off, a finger held on the picture shows it without the white balance. Every change
// previews the working copy at high quality in the background. Main thread only.
class RUX_API RUXWhiteBalanceViewController final : public RUXTransformationViewControllerBase,
                                                    public RUXImageViewDelegate,
                                                    public RUXSliderDelegate,
                                                    public RUXOkCancelBarDelegate,
                                                    public Toolkit::GestureRecognizerDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXWhiteBalanceViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXWhiteBalanceTransformation>& transformation() const { return m_transformation; }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXSlider>& temperatureSlider() const { return m_temperatureSlider; }
    const std::shared_ptr<RUXSlider>& tintSlider() const { return m_tintSlider; }
    const std::shared_ptr<Toolkit::Button>& dropperButton() const { return m_dropperButton; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }
    bool isDropperOn() const { return m_dropperButton && m_dropperButton->isSelected(); }

    void viewDidLoad() override;
    // Sets the title and shows what the main screen showed, at once.
    void viewWillAppear(Toolkit::Animated animated) override;

    void showLastImage();
    void showPreview();
    // Puts both thumbs at the working copy's values.
    void syncSlidersWithTransformation();
    // Sets the working copy so that the picture's point (in the image view's coordinates) comes
    // out neutral, and previews it. False, changing nothing, for a point off the picture or one
    // without a usable colour (black).
    bool pickNeutralAt(Graphics::Point pointInImageView);

    void didPressDropper();
    void didTapImageView(Toolkit::TapGestureRecognizer& recognizer);
    bool gestureRecognizerShouldRecognizeSimultaneously(Toolkit::GestureRecognizer&,
                                                        Toolkit::GestureRecognizer&) override {
        return true;
    }

    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;
    void sliderDidChangeValue(RUXSlider& slider, double value) override;
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();
    // The linear colour around the picture's point before the white balance, averaged over a few
    // pixels; std::nullopt off the picture.
    std::optional<std::array<double, 3>> colorBeforeWhiteBalanceAt(Graphics::Point pointInImageView) const;

    std::shared_ptr<RUXWhiteBalanceTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXSlider> m_temperatureSlider;
    std::shared_ptr<RUXSlider> m_tintSlider;
    std::shared_ptr<Toolkit::Button> m_dropperButton;
    std::shared_ptr<Toolkit::TapGestureRecognizer> m_tapGesture;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
};
