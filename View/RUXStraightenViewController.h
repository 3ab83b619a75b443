#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXRuleOfThirdsView.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationViewControllerBase.h>

// The straightening tool screen: a slider from −45° to 45° in tenths of a degree, centred on a
// level picture, whose thumb shows the angle ("2.5°"). The slider speaks of the picture as seen:
// to the right turns it counter-clockwise as the user sees it, whatever quarter turns and mirrors
// are committed (a mirror reverses the sense of the angle kept in the photo's frame). While the
// thumb moves, a rule-of-thirds grid lies over the picture to level it against. Every step
// previews at high quality in the background; a finger held on the picture shows it unlevelled.
// Main thread only.
class RUX_API RUXStraightenViewController final : public RUXTransformationViewControllerBase,
                                                  public RUXImageViewDelegate,
                                                  public RUXSliderDelegate,
                                                  public RUXOkCancelBarDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXStraightenViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXStraightenTransformation>& transformation() const { return m_transformation; }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXSlider>& slider() const { return m_slider; }
    const std::shared_ptr<RUXRuleOfThirdsView>& gridView() const { return m_gridView; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }

    // The angle as the user sees it, in degrees counter-clockwise, for the committed turns and
    // mirrors: the working copy's angle, reversed under an odd number of mirrors.
    double seenAngle() const;
    // Stores an angle given as seen into the working copy.
    void setSeenAngle(double degrees);

    void viewDidLoad() override;
    void viewWillAppear(Toolkit::Animated animated) override;

    void showLastImage();
    void showPreview();
    void showImageWithoutTransformation();

    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;
    void sliderDidChangeValue(RUXSlider& slider, double value) override;
    void sliderDidEndDragging(RUXSlider& slider, double value) override;
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();
    // Lays the grid over the picture as the image view shows it (the whole band before there is one).
    void fitGridToPicture();
    // 1, or −1 when the committed turns and mirrors reverse the sense of a turn.
    double seenSense() const;

    std::shared_ptr<RUXStraightenTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXSlider> m_slider;
    std::shared_ptr<RUXRuleOfThirdsView> m_gridView;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
};
