#pragma once

#include <Foundation/Export.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationViewControllerBase.h>

// A tool screen for one of the one-value colour edits: the preview, a slider over the whole range
// the transformation's class declares, by its declared mapping (shown as −100 … 100) and the OK/Cancel bar.
// Every slider step previews the working copy at high quality in the background; a finger held on the picture
// shows it without the edit being made. Main thread only.
class RUX_API RUXScalarTransformationViewControllerBase : public RUXTransformationViewControllerBase,
                                                          public RUXImageViewDelegate,
                                                          public RUXSliderDelegate,
                                                          public RUXOkCancelBarDelegate {
public:
    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXScalarTransformation>& transformation() const { return m_transformation; }
    void setTransformation(std::shared_ptr<RUXScalarTransformation> transformation) {
        m_transformation = std::move(transformation);
    }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }
    const std::shared_ptr<RUXSlider>& slider() const { return m_slider; }

    void viewDidLoad() override;
    // Sets the title and shows what the main screen showed, at once.
    void viewWillAppear(Toolkit::Animated animated) override;

    void showLastImage();
    void showPreview();
    void showImageWithoutTransformation();
    // Spreads the working copy's range over −100 … 100 and puts the thumb at its value.
    void syncSliderWithTransformation();

    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;
    void sliderDidChangeValue(RUXSlider& slider, double value) override;
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

protected:
    RUXScalarTransformationViewControllerBase(
        std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
        std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer,
        const RUXClass& transformationClass);

private:
    void setupSubviews();

    std::shared_ptr<RUXScalarTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
    std::shared_ptr<RUXSlider> m_slider;
};

// Edits the exposure.
class RUX_API RUXBrightnessViewController final : public RUXScalarTransformationViewControllerBase {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXBrightnessViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

private:
    using RUXScalarTransformationViewControllerBase::RUXScalarTransformationViewControllerBase;
};

// Edits the contrast.
class RUX_API RUXContrastViewController final : public RUXScalarTransformationViewControllerBase {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXContrastViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

private:
    using RUXScalarTransformationViewControllerBase::RUXScalarTransformationViewControllerBase;
};

// Edits the saturation.
class RUX_API RUXSaturationViewController final : public RUXScalarTransformationViewControllerBase {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXSaturationViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

private:
    using RUXScalarTransformationViewControllerBase::RUXScalarTransformationViewControllerBase;
};

// Edits any declared one-value colour edit (a RUXScalarTransformation subclass) that has no screen
// of its own: the slider spreads the class's declared range by its declared mapping.
class RUX_API RUXAdjustmentViewController final : public RUXScalarTransformationViewControllerBase {
public:
    // Never nullptr; the caller owns it and presents it. A class that is not a one-value edit gives a
    // screen without working copy, whose OK commits nothing. Main thread.
    static std::shared_ptr<RUXAdjustmentViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer,
                            const RUXClass& transformationClass);

    // The thumb shows the value itself, in the declared range (the built-in screens show −100 … 100).
    void viewDidLoad() override;

private:
    using RUXScalarTransformationViewControllerBase::RUXScalarTransformationViewControllerBase;
};
