#include "EditorTestSupport.h"

#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <utility>

using namespace EditorTest;

namespace {

// Stands in for an image view: remembers what it was given and on which thread.
class RecordingView {
public:
    void setImage(std::shared_ptr<const Graphics::BitmapImage> image) {
        std::lock_guard lock(mutex);
        images.push_back(std::move(image));
        onMainThread = onMainThread && Foundation::isMainThread();
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return images.size();
    }
    std::mutex mutex;
    std::vector<std::shared_ptr<const Graphics::BitmapImage>> images;
    bool onMainThread = true;
};

RUXRenderFormulaPtr formulaOf(int w, int h) {
    return RUXRenderFormula::create(solidImage(w, h, {10, 20, 30, 255}),
                                    {std::make_shared<RUXNormalizeTransformation>()});
}

TEST(Renderer, RendersOnceAndKeepsTheBitmapInTheFormula) {
    auto renderer = RUXImageRenderer::create();
    EXPECT_EQ(renderer->renderedImage(nullptr), nullptr);
    auto formula = formulaOf(5, 3);
    auto image = renderer->renderedImage(formula);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap()->width(), 5);
    EXPECT_EQ(image->bitmap()->height(), 3);
    EXPECT_EQ(image->scale(), 1.0);
    EXPECT_EQ(renderer->renderedImage(formula), image);
    // Without a list the source itself is rendered.
    auto plain = renderer->renderedImage(
        RUXRenderFormula::createWithoutTransformations(solidImage(2, 2, {9, 9, 9, 255})));
    ASSERT_TRUE(plain);
    EXPECT_EQ(pixel(*plain->bitmap(), 1, 1), (Rgba{9, 9, 9, 255}));
}

TEST(Renderer, SynchronousDisplayOnTheMainThread) {
    auto renderer = RUXImageRenderer::create();
    auto view = std::make_shared<RecordingView>();
    renderer->renderAndDisplayImage(formulaOf(3, 3), std::shared_ptr<RecordingView>());
    EXPECT_EQ(renderer->lastRenderFormula(), nullptr);
    auto formula = formulaOf(3, 3);
    renderer->renderAndDisplayImage(formula, view);
    ASSERT_EQ(view->count(), 1u);
    EXPECT_EQ(view->images[0], formula->renderedImage());
    EXPECT_EQ(renderer->lastRenderFormula(), formula);
}

TEST(Renderer, BackgroundDisplaysReachEachViewBeforeTheirCompletion) {
    auto renderer = RUXImageRenderer::create();
    auto first = std::make_shared<RecordingView>(), second = std::make_shared<RecordingView>();
    auto a = formulaOf(4, 4), b = formulaOf(6, 2);
    std::atomic<int> completed{0};
    std::atomic<bool> shownBeforeCompletion{true};
    renderer->renderAndDisplayImage(a, first, [&] {
        shownBeforeCompletion = shownBeforeCompletion && first->count() == 1 && !Foundation::isMainThread();
        ++completed;
    });
    renderer->renderAndDisplayImage(b, second, [&] {
        shownBeforeCompletion = shownBeforeCompletion && second->count() == 1;
        ++completed;
    });
    EXPECT_EQ(renderer->lastRenderFormula(), b);
    ASSERT_TRUE(Foundation::RunLoop::main().runUntil([&] { return completed == 2; },
                                                     std::chrono::milliseconds(20000)));
    EXPECT_TRUE(shownBeforeCompletion);
    EXPECT_TRUE(first->onMainThread && second->onMainThread);
    EXPECT_EQ(first->images.at(0)->bitmap()->width(), 4);
    EXPECT_EQ(second->images.at(0)->bitmap()->width(), 6);
    // However late the background renders started, the newest request stays the last one.
    EXPECT_EQ(renderer->lastRenderFormula(), b);

    // A request without a view renders nothing but still completes, so a waiting view goes idle.
    std::atomic<bool> emptyCompleted{false};
    renderer->renderAndDisplayImage(a, std::shared_ptr<RecordingView>(), [&] { emptyCompleted = true; });
    EXPECT_TRUE(Foundation::RunLoop::main().runUntil([&] { return emptyCompleted.load(); }));
}

// What an image view does with the renderer: one background render at a time, remembering only
// the newest formula asked for meanwhile and starting it when the render in flight completes.
class LatestOnlyView : public std::enable_shared_from_this<LatestOnlyView> {
public:
    explicit LatestOnlyView(std::shared_ptr<RUXImageRenderer> renderer) : m_renderer(std::move(renderer)) {}
    // Main thread.
    void show(const RUXRenderFormulaPtr& formula) {
        if (m_busy) {
            m_pending = formula;
            return;
        }
        start(formula);
    }
    bool isIdle() const { return !m_busy && !m_pending; }
    std::shared_ptr<RecordingView> target = std::make_shared<RecordingView>();

private:
    void start(const RUXRenderFormulaPtr& formula) {
        m_busy = true;
        m_renderer->renderAndDisplayImage(formula, target, [self = shared_from_this(), formula] {
            Foundation::performOnMainThread(
                [self, formula] {
                    self->m_busy = false;
                    auto pending = std::exchange(self->m_pending, nullptr);
                    if (pending && pending != formula) {
                        self->start(pending);
                    }
                },
                Foundation::Wait::No);
        });
    }

    std::shared_ptr<RUXImageRenderer> m_renderer;
    // Main thread only.
    bool m_busy = false;
    RUXRenderFormulaPtr m_pending;
};

TEST(Renderer, WorkingCopyChangedWhilePreviewsRender) {
    // The main thread drags the blur's working copy while its previews render in the background,
    // as the blur screen does; when the drag stops, the view shows the last position.
    auto renderer = RUXImageRenderer::create();
    auto view = std::make_shared<LatestOnlyView>(renderer);
    auto blur = std::make_shared<RUXBlurTransformation>();
    auto source = solidImage(64, 48, {0, 0, 0, 255});
    for (int i = 0; i <= 40; ++i) {
        blur->setPoint({i / 40.0 * 0.9, 0.5});
        blur->setScale(0.5 + i / 80.0);
        view->show(RUXRenderFormula::create(source, {blur}, RUXPreviewModeQuick,
                                            &RUXBlurTransformation::classDescriptor()));
        if (i % 4 == 0) {
            Foundation::RunLoop::main().runOnce();
        }
    }
    ASSERT_TRUE(Foundation::RunLoop::main().runUntil([&] { return view->isIdle(); },
                                                     std::chrono::milliseconds(30000)));
    std::lock_guard lock(view->target->mutex);
    ASSERT_FALSE(view->target->images.empty());
    auto shown = view->target->images.back();
    ASSERT_TRUE(shown);
    // The sharp (black) spot sits where the point was last put; the left edge is veiled.
    EXPECT_EQ(pixel(*shown->bitmap(), int(64 * 0.9), 24)[0], 0);
    EXPECT_GT(pixel(*shown->bitmap(), 2, 24)[0], 100);
}

} // namespace
