#include <Editor/EditorTestSupport.h>
#include <Hosts/HeadlessHost.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRenderFormula.h>
#include <Toolkit/ViewController.h>
#include <View/RUXImageView.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records every picture set on it, so that a test can tell which formulas were shown in which
// order.
class RecordingImageView : public RUXImageView {
public:
    static std::shared_ptr<RecordingImageView> create(std::shared_ptr<RUXImageRenderer> renderer) {
        std::shared_ptr<RecordingImageView> view(new RecordingImageView(std::move(renderer)));
        view->setupGestures();
        return view;
    }
    void setImage(std::shared_ptr<const Graphics::BitmapImage> image) override {
        shown.push_back(image);
        RUXImageView::setImage(std::move(image));
        if (auto next = std::exchange(afterShowing, nullptr))
            next();
    }
    std::vector<std::shared_ptr<const Graphics::BitmapImage>> shown;
    // Runs once, right after the next picture is shown.
    std::function<void()> afterShowing;

private:
    explicit RecordingImageView(std::shared_ptr<RUXImageRenderer> renderer)
        : RUXImageView({0, 0, 200, 150}, std::move(renderer)) {}
};

// Records the reports it acts on; one that does not act leaves the log empty.
class TouchLog : public RUXImageViewDelegate {
public:
    explicit TouchLog(bool acts) : m_acts(acts) {}
    bool imageViewDidTouchDown(RUXImageView&) override { return record("down "); }
    bool imageViewDidTouchUp(RUXImageView&) override { return record("up "); }
    std::string events;

private:
    bool record(const char* event) {
        if (m_acts) {
            events += event;
        }
        return m_acts;
    }
    bool m_acts;
};

class ImageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = Hosts::HeadlessHost::create({200, 150}, 1);
        ASSERT_TRUE(host);
        screen = Toolkit::ViewController::create();
        host->application().setRootViewController(screen);
        renderer = RUXImageRenderer::create();
        view = RecordingImageView::create(renderer);
        screen->view()->addSubview(view);
        view->setFrame(screen->view()->bounds());
    }
    void TearDown() override {
        if (host) {
            EXPECT_TRUE(host->runUntilIdle());
        }
    }

    // A distinct formula per colour, so that each shown picture names its formula.
    static RUXRenderFormulaPtr formula(std::uint8_t red) {
        return RUXRenderFormula::create(EditorTest::solidImage(6, 4, {red, 40, 40, 255}), {});
    }
    void settle() { ASSERT_TRUE(host->runUntilIdle()); }

    std::unique_ptr<Hosts::HeadlessHost> host;
    std::shared_ptr<Toolkit::ViewController> screen;
    std::shared_ptr<RUXImageRenderer> renderer;
    std::shared_ptr<RecordingImageView> view;
};

TEST_F(ImageViewTest, RequestsMadeWhileRenderingCollapseIntoTheNewest) {
    auto a = formula(10), b = formula(20), c = formula(30);
    // The main thread does not run its loop between the requests, so A cannot have been shown yet.
    view->renderAndShowImageAsync(a);
    EXPECT_TRUE(view->isBusy());
    view->renderAndShowImageAsync(b);
    view->renderAndShowImageAsync(c);
    EXPECT_EQ(view->lastImage(), c);
    settle();

    ASSERT_EQ(view->shown.size(), 2u);
    EXPECT_EQ(view->shown[0], a->renderedImage());
    EXPECT_EQ(view->shown[1], c->renderedImage());
    EXPECT_EQ(b->renderedImage(), nullptr) << "B was overtaken and must never be rendered";
    EXPECT_EQ(view->image(), c->renderedImage());
    EXPECT_EQ(renderer->lastRenderFormula(), c);
    EXPECT_FALSE(view->isBusy());
}

TEST_F(ImageViewTest, RequestingTheFormulaInFlightRendersItOnce) {
    auto a = formula(10);
    view->renderAndShowImageAsync(a);
    view->renderAndShowImageAsync(a);
    settle();
    EXPECT_EQ(view->shown.size(), 1u);
    EXPECT_EQ(view->image(), a->renderedImage());
}

TEST_F(ImageViewTest, AnOvertakenRequestComingBackIsStillShownLast) {
    // A, B, A: the newest request is A again, which is a different request from the one in
    // flight only if it is another object; the same object needs no second render.
    auto a = formula(10), b = formula(20);
    view->renderAndShowImageAsync(a);
    view->renderAndShowImageAsync(b);
    view->renderAndShowImageAsync(a);
    settle();
    ASSERT_EQ(view->shown.size(), 1u);
    EXPECT_EQ(view->image(), a->renderedImage());
    EXPECT_EQ(b->renderedImage(), nullptr);
}

TEST_F(ImageViewTest, RequestsAfterARenderFinishedStartAtOnce) {
    auto a = formula(10), b = formula(20);
    view->renderAndShowImageAsync(a);
    settle();
    view->renderAndShowImageAsync(b);
    EXPECT_TRUE(view->isBusy());
    settle();
    ASSERT_EQ(view->shown.size(), 2u);
    EXPECT_EQ(view->image(), b->renderedImage());
}

TEST_F(ImageViewTest, SynchronousDisplayShowsAtOnceAndTheBackgroundResultReplacesIt) {
    auto background = formula(10), immediate = formula(99);
    view->renderAndShowImageAsync(background);
    view->renderAndShowImageSync(immediate);
    ASSERT_NE(immediate->renderedImage(), nullptr);
    EXPECT_EQ(view->image(), immediate->renderedImage());
    EXPECT_TRUE(view->isBusy()) << "the synchronous path must leave the background state alone";
    EXPECT_EQ(view->lastImage(), background);
    settle();
    EXPECT_EQ(view->image(), background->renderedImage());
}

TEST_F(ImageViewTest, APictureShownAtOnceAfterTheBackgroundOneStillEndsWithTheNewestRequest) {
    // A screen coming back shows the last preview at once and asks for the committed picture,
    // which the view is still finishing: its picture is up, the render has not ended. The
    // committed picture must replace the preview, though it is the request in flight.
    auto committed = formula(10), preview = formula(99);
    view->afterShowing = [&] {
        view->renderAndShowImageSync(preview);
        view->renderAndShowImageAsync(committed);
    };
    view->renderAndShowImageAsync(committed);
    settle();
    EXPECT_FALSE(view->isBusy());
    EXPECT_EQ(view->image(), committed->renderedImage());
}

TEST_F(ImageViewTest, FormulasWithoutAPictureLeaveTheViewUsable) {
    // An empty source yields no bitmap: the view shows nothing; a null formula is not rendered at
    // all. Neither may leave the view busy for good.
    auto empty = RUXRenderFormula::create(nullptr, {});
    view->renderAndShowImageAsync(formula(10));
    settle();
    view->renderAndShowImageAsync(empty);
    settle();
    EXPECT_EQ(view->image(), nullptr);
    view->renderAndShowImageAsync(nullptr);
    settle();
    EXPECT_FALSE(view->isBusy());
    auto after = formula(30);
    view->renderAndShowImageAsync(after);
    settle();
    EXPECT_EQ(view->image(), after->renderedImage());
}

TEST_F(ImageViewTest, AViewClosedDuringARenderIsReleased) {
    std::weak_ptr<RecordingImageView> weak = view;
    view->renderAndShowImageAsync(formula(10));
    view->removeFromSuperview();
    view.reset();
    settle();
    EXPECT_TRUE(weak.expired());
}

TEST_F(ImageViewTest, RequestsFromAnotherThreadAreHandedToTheMainThread) {
    auto a = formula(10);
    std::thread([this, a] { view->renderAndShowImageAsync(a); }).join();
    settle();
    EXPECT_EQ(view->image(), a->renderedImage());
}

struct TouchCase {
    const char* name;
    const char* script;
    bool delegateResponds;
    const char* expected;
};

class ImageViewTouchTest : public ImageViewTest, public ::testing::WithParamInterface<TouchCase> {};

TEST_P(ImageViewTouchTest, ReportsTheStartAndEndOfATouch) {
    auto log = std::make_shared<TouchLog>(GetParam().delegateResponds);
    view->setDelegate(log);
    std::string error;
    ASSERT_TRUE(host->runScript(GetParam().script, &error)) << error;
    EXPECT_EQ(log->events, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Touches, ImageViewTouchTest,
    ::testing::Values(
        // Down is reported as the finger lands, before it moves or lifts.
        TouchCase{"FingerDownOnly", "down 1 100 75\nwait 0.5", true, "down "},
        TouchCase{"Tap", "tap 100 75", true, "down up "},
        TouchCase{"HoldAndDrag", "down 1 100 75\nmove 1 150 100\nmove 1 20 20\nup 1", true, "down up "},
        // The system taking the finger away must end the comparison as lifting it does.
        TouchCase{"Cancelled", "down 1 100 75\ncancel 1", true, "down up "},
        // The window starts a recognised recogniser afresh, so a second finger reports down again;
        // what matters to the screens is that the last report is up.
        TouchCase{"SecondFinger", "down 1 50 75\ndown 2 150 75\nup 1\nup 2", true, "down down up "},
        TouchCase{"TwoTouchesInARow", "tap 100 75\nwait 1\ntap 60 40", true, "down up down up "},
        TouchCase{"DelegateWithoutTheOptionalMethods", "tap 100 75", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
