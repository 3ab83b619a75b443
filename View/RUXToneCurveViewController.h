#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <Toolkit/View.h>
#include <Transformation/RUXToneCurveTransformation.h>
#include <View/RUXImageView.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXTransformationViewControllerBase.h>
#include <memory>
#include <vector>

class RUXToneCurveGraphView;

// Told after each change a finger makes to the graph's points (not of changes made by setPoints).
class RUX_API RUXToneCurveGraphViewDelegate {
public:
    virtual ~RUXToneCurveGraphViewDelegate() = default;
    virtual void toneCurveGraphDidChangePoints(RUXToneCurveGraphView& graph) = 0;
};

// A square graph of a tone curve over a histogram: the encoded value in runs left to right, the
// value out bottom to top. A finger landing away from every point adds one there and drags it; a
// finger landing on a point drags it, the ends up and down only, the others between their
// neighbours; a point dragged more than kRemovalDistance points off the graph, or tapped twice, is
// removed (an end removed returns to its corner). Main thread only.
class RUX_API RUXToneCurveGraphView : public Toolkit::View {
public:
    // How near a finger must land to a point to take it, and how far off the graph a point must be
    // dragged to go, in points.
    static constexpr double kTouchRadius = 22;
    static constexpr double kRemovalDistance = 32;
    // The margin around the graph's square, so that points at its edges can be reached.
    static constexpr double kInset = 12;

    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXToneCurveGraphView> create(const Graphics::Rect& frame);

    // Held weakly.
    std::shared_ptr<RUXToneCurveGraphViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<RUXToneCurveGraphViewDelegate>& delegate) {
        m_delegate = delegate;
    }

    // The control points, the ends included, sorted by x, without a point being dragged off.
    // setPoints takes any list and shows the curve it makes (ImageEngine::ToneCurve's rules),
    // without telling the delegate.
    std::vector<Graphics::Point> points() const;
    void setPoints(const std::vector<Graphics::Point>& points);
    // Counts of the picture's luminance levels, 256 of them; drawn scaled to the fullest level.
    // Any other size draws no histogram.
    const std::vector<double>& histogram() const { return m_histogram; }
    void setHistogram(std::vector<double> histogram);

    // The graph's square in the view's coordinates, and a curve point's place on it and back.
    Graphics::Rect graphRect() const;
    Graphics::Point viewPointForCurvePoint(Graphics::Point curvePoint) const;
    Graphics::Point curvePointForViewPoint(Graphics::Point viewPoint) const;

    void draw(Graphics::BitmapContext& context) override;
    void touchesBegan(const Toolkit::Touches& touches) override;
    void touchesMoved(const Toolkit::Touches& touches) override;
    void touchesEnded(const Toolkit::Touches& touches) override;
    void touchesCancelled(const Toolkit::Touches& touches) override;

protected:
    explicit RUXToneCurveGraphView(const Graphics::Rect& frame);

private:
    // The point nearest to viewPoint within kTouchRadius, or -1.
    int pointNear(Graphics::Point viewPoint) const;
    void moveDraggedPoint(Graphics::Point viewPoint);
    void didChangePoints();

    std::weak_ptr<RUXToneCurveGraphViewDelegate> m_delegate;
    std::vector<Graphics::Point> m_points;
    std::vector<double> m_histogram;
    // The point a finger holds, or -1; while m_dragIsOff, it is shown as gone and is removed when the
    // finger lifts.
    int m_draggedIndex = -1;
    int m_dragTouchId = -1;
    bool m_dragIsOff = false;
};

// The tone curve's tool screen: the preview, the curve over the picture's luminance histogram, and
// the OK/Cancel bar. Every change of the curve previews the working copy at high quality in the
// background; a finger held on the picture shows it without the curve. The histogram is counted
// on the thumbnail-sized picture of the list without the curve, once, when the screen loads.
// Main thread only.
class RUX_API RUXToneCurveViewController final : public RUXTransformationViewControllerBase,
                                                 public RUXImageViewDelegate,
                                                 public RUXToneCurveGraphViewDelegate,
                                                 public RUXOkCancelBarDelegate {
public:
    // Never nullptr; the caller owns it and presents it. Main thread.
    static std::shared_ptr<RUXToneCurveViewController>
    createWithConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                            std::shared_ptr<RUXEditManager> editManager,
                            std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The working copy; nullptr only for a screen made without an edit manager.
    const std::shared_ptr<RUXToneCurveTransformation>& transformation() const { return m_transformation; }
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXToneCurveGraphView>& graphView() const { return m_graphView; }
    const std::shared_ptr<RUXOkCancelBar>& okCancelBar() const { return m_okCancelBar; }

    void viewDidLoad() override;
    // Sets the title and shows what the main screen showed, at once.
    void viewWillAppear(Toolkit::Animated animated) override;

    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;
    void toneCurveGraphDidChangePoints(RUXToneCurveGraphView& graph) override;
    void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) override;
    void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) override;

    // The luminance histogram of a picture: 256 counts of Rec. 709 luma on its encoded bytes,
    // weighted by alpha. Empty for nullptr. Any thread.
    static std::vector<double> luminanceHistogram(const Graphics::Bitmap* bitmap);

private:
    using RUXTransformationViewControllerBase::RUXTransformationViewControllerBase;
    void setupSubviews();
    void showPreview();

    std::shared_ptr<RUXToneCurveTransformation> m_transformation;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXToneCurveGraphView> m_graphView;
    std::shared_ptr<RUXOkCancelBar> m_okCancelBar;
};
