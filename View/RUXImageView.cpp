#include <Foundation/Dispatch.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXImageView.h>
#include <View/RUXTouchDownGestureRecognizer.h>
#include <View/RUXTouchUpGestureRecognizer.h>
#include <utility>

namespace {

// What a background render shows its picture on. It refers to the view weakly, so a render in
// flight neither keeps a closed screen's view alive nor lets the pool thread drop the last
// reference to it; the view is only ever touched on the main thread, where setImage runs.
class DisplayTarget {
public:
    explicit DisplayTarget(std::weak_ptr<RUXImageView> view) : m_view(std::move(view)) {}
    void setImage(std::shared_ptr<const Graphics::BitmapImage> image) {
        if (std::shared_ptr<RUXImageView> view = m_view.lock()) {
            view->setImage(std::move(image));
        }
    }

private:
    std::weak_ptr<RUXImageView> m_view;
};

} // namespace

std::shared_ptr<RUXImageView> RUXImageView::create(const Graphics::Rect& frame,
                                                   std::shared_ptr<RUXImageRenderer> renderer) {
    std::shared_ptr<RUXImageView> view(new RUXImageView(frame, std::move(renderer)));
    view->setupGestures();
    return view;
}

RUXImageView::RUXImageView(const Graphics::Rect& frame, std::shared_ptr<RUXImageRenderer> renderer)
    : Toolkit::ImageView(frame), m_renderer(std::move(renderer)) {
    // Black, so the margins of a letter-boxed photo are black.
    setBackgroundColor(RUXColorWithHexCode(0x000000));
    setContentMode(Toolkit::ContentMode::ScaleAspectFit);
    setAutoresizingMask(autoresizingMask() | Toolkit::AutoresizingMask::FlexibleWidth |
                        Toolkit::AutoresizingMask::FlexibleHeight);
    // An image view ignores touches unless told otherwise.
    setUserInteractionEnabled(true);
}

void RUXImageView::setupGestures() {
    auto self = std::static_pointer_cast<RUXImageView>(shared_from_this());
    // Aliasing: the recognisers' weak delegate reference shares the view's ownership.
    std::shared_ptr<Toolkit::GestureRecognizerDelegate> asDelegate(self, self.get());

    auto touchDown = RUXTouchDownGestureRecognizer::create();
    touchDown->addTarget(self, &RUXImageView::didTouchDownImageView);
    touchDown->setDelegate(asDelegate);
    addGestureRecognizer(touchDown);

    auto touchUp = RUXTouchUpGestureRecognizer::create();
    touchUp->addTarget(self, &RUXImageView::didTouchUpImageView);
    touchUp->setDelegate(asDelegate);
    addGestureRecognizer(touchUp);
}

void RUXImageView::renderAndShowImageAsync(const RUXRenderFormulaPtr& formula) {
    if (!Foundation::isMainThread()) {
        std::weak_ptr<RUXImageView> weak = std::static_pointer_cast<RUXImageView>(shared_from_this());
        Foundation::performOnMainThread(
            [weak, formula] {
                if (auto self = weak.lock()) {
                    self->renderAndShowImageAsync(formula);
                }
            },
            Foundation::Wait::No);
        return;
    }
    m_lastImage = formula;
    if (m_isBusy) {
        // The running render's completion picks the newest request up.
        return;
    }
    if (!m_renderer) {
        return;
    }
    m_isBusy = true;
    std::weak_ptr<RUXImageView> weak = std::static_pointer_cast<RUXImageView>(shared_from_this());
    m_renderer->renderAndDisplayImage(formula, std::make_shared<DisplayTarget>(weak), [weak, formula] {
        // The completion runs on a pool thread; the busy flag and the newest request belong to
        // the main thread, so the rest of the step happens there.
        Foundation::performOnMainThread(
            [weak, formula] {
                if (auto self = weak.lock()) {
                    self->didFinishBackgroundRender(formula);
                }
            },
            Foundation::Wait::No);
    });
}

void RUXImageView::didFinishBackgroundRender(const RUXRenderFormulaPtr& formula) {
    m_isBusy = false;
    const bool shownOver = std::exchange(m_shownOverBackground, false);
    // Identity, not equality: an equal but newer request is still a new picture to show.
    if (m_lastImage == formula && !shownOver) {
        return;
    }
    renderAndShowImageAsync(m_lastImage);
}

void RUXImageView::renderAndShowImageSync(const RUXRenderFormulaPtr& formula) {
    if (!m_renderer || !formula) {
        return;
    }
    m_shownOverBackground = m_shownOverBackground || m_isBusy;
    m_renderer->renderAndDisplayImage(formula, std::static_pointer_cast<RUXImageView>(shared_from_this()));
}

void RUXImageView::didTouchDownImageView(RUXTouchDownGestureRecognizer&) {
    std::shared_ptr<RUXImageViewDelegate> delegate = m_delegate.lock();
    if (delegate) {
        delegate->imageViewDidTouchDown(*this);
    }
}

void RUXImageView::didTouchUpImageView(RUXTouchUpGestureRecognizer&) {
    std::shared_ptr<RUXImageViewDelegate> delegate = m_delegate.lock();
    if (delegate) {
        delegate->imageViewDidTouchUp(*this);
    }
}
