#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXRotateTransformation.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXRotateButtonsBar.h>
#include <View/RUXTransformationViewControllerBase.h>

// The quarter turns and flips tool screen: each of the four buttons changes the working copy at
// once and previews it at high quality in the background; a finger held on the picture shows it
// unturned, with every other committed edit. Main thread only.
class RUX_API RUXRotateViewController final : public RUXTransformationViewControllerBase,
                                              public RUXImageViewDelegate,
                                              public RUXRotateButtonsBarDelegate,
                                              public RUXOkCancelBarDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXRotateViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXRotateTransformation>& transformation() const { return m_transformation; }
    void setTransformation(std::shared_ptr<RUXRotateTransformation> transformation) {
        m_transformation = std::move(transformation);
    }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXRotateButtonsBar>& rotateButtonsBar() const { return m_rotateButtonsBar; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }

    void viewDidLoad() override;
    void viewWillAppear(Toolkit::Animated animated) override;

    void showLastImage();
    void showPreview();
    void showImageWithoutTransformation();

    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;
    void rotateButtonsBarDidPressRotateCW(RUXRotateButtonsBar& bar) override;
    void rotateButtonsBarDidPressRotateCCW(RUXRotateButtonsBar& bar) override;
    void rotateButtonsBarDidPressFlipVertical(RUXRotateButtonsBar& bar) override;
    void rotateButtonsBarDidPressFlipHorizontal(RUXRotateButtonsBar& bar) override;
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();

    std::shared_ptr<RUXRotateTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXRotateButtonsBar> m_rotateButtonsBar;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
};
