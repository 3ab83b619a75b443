#pragma once

#include <Foundation/Export.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXCropTransformation.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXRuleOfThirdsView.h>
#include <View/RUXTransformationViewControllerBase.h>
#include <View/RUXZoomScrollView.h>

// The square crop's tool screen: the picture with its committed turns and colour edits (no crop,
// look or blur) in a zoom view behind a fixed square window as wide as the screen, centred between
// the title band and the OK/Cancel bar; translucent bars dim what lies outside it. OK stores the
// part of the picture under the window as the crop. Everything is set up once when the view loads,
// including one render on the main thread. Main thread only.
class RUX_API RUXCropViewController final : public RUXTransformationViewControllerBase,
                                            public RUXOkCancelBarDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXCropViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXCropTransformation>& transformation() const { return m_transformation; }
    void setTransformation(std::shared_ptr<RUXCropTransformation> transformation) {
        m_transformation = std::move(transformation);
    }
    const std::shared_ptr<RUXZoomScrollView>& zoomScrollView() const { return m_zoomScrollView; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }
    const std::shared_ptr<Toolkit::View>& blackBarTop() const { return m_blackBarTop; }
    const std::shared_ptr<Toolkit::View>& blackBarBottom() const { return m_blackBarBottom; }
    // The formula of the uncropped picture; its metadata links the picture's coordinates to the
    // crop's. nullptr until the view loads.
    const RUXRenderFormulaPtr& renderFormula() const { return m_renderFormula; }

    void viewDidLoad() override;

    // Places the zoom view, its insets and window, and the two dimming bars.
    void resetZoomScrollViewLayout();
    // Renders the uncropped picture at once into the zoom view.
    void showUncroppedImage();
    // Zooms so that the working copy's crop lies in the window; a never-cropped picture stays at
    // the smallest zoom.
    void syncZoomScrollViewWithTransformation();

    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();
    // The crop area (between the title band and the bar) and the height left above and below the
    // square window inside it.
    Graphics::Rect cropArea();
    double windowInset();

    std::shared_ptr<RUXCropTransformation> m_transformation;
    std::shared_ptr<RUXZoomScrollView> m_zoomScrollView;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
    std::shared_ptr<Toolkit::View> m_blackBarTop;
    std::shared_ptr<Toolkit::View> m_blackBarBottom;
    RUXRenderFormulaPtr m_renderFormula;
};
