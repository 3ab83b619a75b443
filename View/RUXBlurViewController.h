#pragma once

#include <Foundation/Export.h>
#include <Toolkit/GestureRecognizer.h>
#include <Transformation/RUXBlurTransformation.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXTransformationViewControllerBase.h>

// The focus blur's tool screen: tap or drag on the picture to place the sharp region, pinch to move
// and size it. While a finger moves the screen asks for quick previews; when a gesture ends, on a
// tap and once the screen has appeared it asks for a high-quality one. The point is in unit
// coordinates of the image view's whole frame (not of the fitted picture inside it), unclamped.
// The control band stays empty. Main thread only.
class RUX_API RUXBlurViewController final : public RUXTransformationViewControllerBase,
                                            public RUXOkCancelBarDelegate,
                                            public Toolkit::GestureRecognizerDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXBlurViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXBlurTransformation>& transformation() const { return m_transformation; }
    void setTransformation(std::shared_ptr<RUXBlurTransformation> transformation) {
        m_transformation = std::move(transformation);
    }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }
    const std::shared_ptr<Toolkit::PanGestureRecognizer>& panGesture() const { return m_panGesture; }
    const std::shared_ptr<Toolkit::PinchGestureRecognizer>& pinchGesture() const { return m_pinchGesture; }
    const std::shared_ptr<Toolkit::TapGestureRecognizer>& tapGesture() const { return m_tapGesture; }

    void viewDidLoad() override;
    void viewWillAppear(Toolkit::Animated animated) override;
    void viewDidAppear(Toolkit::Animated animated) override;

    void showLastImage();
    // Quick mode: the blur drawn as a light veil, cheap enough for every finger move.
    void showPreview();
    void showHighQualityPreview();

    void didTapImageView(Toolkit::TapGestureRecognizer& recognizer);
    void didPanImageView(Toolkit::PanGestureRecognizer& recognizer);
    void didPinchImageView(Toolkit::PinchGestureRecognizer& recognizer);

    // Pan, pinch and tap may all run together.
    bool gestureRecognizerShouldRecognizeSimultaneously(Toolkit::GestureRecognizer&,
                                                        Toolkit::GestureRecognizer&) override {
        return true;
    }
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();
    void setupGestures();
    // The recogniser's location as a fraction of the image view's frame size.
    Graphics::Point normalizedLocation(const Toolkit::GestureRecognizer& recognizer) const;

    std::shared_ptr<RUXBlurTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
    std::shared_ptr<Toolkit::PanGestureRecognizer> m_panGesture;
    std::shared_ptr<Toolkit::PinchGestureRecognizer> m_pinchGesture;
    std::shared_ptr<Toolkit::TapGestureRecognizer> m_tapGesture;
};
