#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/ViewController.h>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <latch>
#include <thread>

namespace {

using Hosts::HeadlessHost;
using Toolkit::TouchPhase;

struct TouchRecord {
    int id;
    TouchPhase phase;
    Graphics::Point location;
    double timestamp;
};

// Records what reaches it and turns blue when a touch ends on it.
class TouchRecordingView : public Toolkit::View {
public:
    static std::shared_ptr<TouchRecordingView> create(const Graphics::Rect& frame) {
        return std::shared_ptr<TouchRecordingView>(new TouchRecordingView(frame));
    }
    void touchesBegan(const Toolkit::Touches& touches) override { record(touches); }
    void touchesMoved(const Toolkit::Touches& touches) override { record(touches); }
    void touchesEnded(const Toolkit::Touches& touches) override {
        record(touches);
        setBackgroundColor({0, 0, 1, 1});
    }
    void touchesCancelled(const Toolkit::Touches& touches) override { record(touches); }

    std::vector<TouchRecord> records;
    std::vector<TouchRecord> ofPhase(TouchPhase phase) const {
        std::vector<TouchRecord> matching;
        for (const auto& r : records)
            if (r.phase == phase)
                matching.push_back(r);
        return matching;
    }

private:
    using View::View;
    void record(const Toolkit::Touches& touches) {
        for (const auto& t : touches)
            records.push_back({t->id(), t->phase(), t->locationInWindow(), t->timestamp()});
    }
};

// A red screen with a green square at (10, 10, 50, 50) that records touches.
class SquareController : public Toolkit::ViewController {
public:
    static std::shared_ptr<SquareController> create() {
        return std::shared_ptr<SquareController>(new SquareController);
    }
    void viewDidLoad() override {
        view()->setBackgroundColor({1, 0, 0, 1});
        square = TouchRecordingView::create({10, 10, 50, 50});
        square->setBackgroundColor({0, 1, 0, 1});
        view()->addSubview(square);
    }
    std::shared_ptr<TouchRecordingView> square;
};

class HeadlessHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = HeadlessHost::create({100, 80}, 2);
        ASSERT_TRUE(host);
        screen = SquareController::create();
        host->application().setRootViewController(screen);
        directory = std::filesystem::temp_directory_path() /
                    ("rux-headless-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                     "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
        host->setOutputDirectory(directory.string());
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<SquareController> screen;
    std::filesystem::path directory;
};

// The RGBA of one pixel of a decoded PNG.
std::array<int, 4> pixel(const Graphics::Bitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.row(y) + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

TEST_F(HeadlessHostTest, ScreenshotShowsTheScreenAtTheHostsScale) {
    ASSERT_TRUE(host->runScript("screenshot before.png\n"
                                "tap 30 30   # on the square, which turns blue\n"
                                "screenshot after.png\n"));
    auto before = Graphics::BitmapImage::createFromFile((directory / "before.png").string());
    auto after = Graphics::BitmapImage::createFromFile((directory / "after.png").string());
    ASSERT_TRUE(before && after);
    ASSERT_EQ(before->bitmap()->width(), 200);
    ASSERT_EQ(before->bitmap()->height(), 160);
    using Pixel = std::array<int, 4>;
    // Inside the square, just inside its corners (pixels 20…119), and outside it.
    EXPECT_EQ(pixel(*before->bitmap(), 60, 60), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pixel(*before->bitmap(), 20, 20), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pixel(*before->bitmap(), 119, 119), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pixel(*before->bitmap(), 19, 60), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixel(*before->bitmap(), 120, 60), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixel(*before->bitmap(), 199, 159), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixel(*after->bitmap(), 60, 60), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixel(*after->bitmap(), 150, 60), (Pixel{255, 0, 0, 255}));
}

TEST_F(HeadlessHostTest, GesturesReplayWithTheClockMovingBetweenEvents) {
    ASSERT_TRUE(host->runScript("drag 15 15 45 35 0.5 5\n"));
    auto& records = screen->square->records;
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records.front().phase, TouchPhase::Began);
    EXPECT_EQ(records.back().phase, TouchPhase::Ended);
    EXPECT_EQ(screen->square->ofPhase(TouchPhase::Moved).size(), 5u);
    EXPECT_DOUBLE_EQ(records[1].location.x, 21);
    EXPECT_DOUBLE_EQ(records[1].location.y, 19);
    EXPECT_DOUBLE_EQ(records.back().location.x, 45);
    EXPECT_DOUBLE_EQ(records.back().location.y, 35);
    for (std::size_t i = 1; i + 1 < records.size(); ++i)
        EXPECT_GT(records[i].timestamp, records[i - 1].timestamp);
    EXPECT_NEAR(records.back().timestamp - records.front().timestamp, 0.5, 1e-6);

    records.clear();
    ASSERT_TRUE(host->runScript("hold 30 30 1.5\n"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NEAR(records[1].timestamp - records[0].timestamp, 1.5, 1e-6);

    records.clear();
    ASSERT_TRUE(host->runScript("pinch 35 35 10 30 0.2 4\n"));
    const auto began = screen->square->ofPhase(TouchPhase::Began);
    const auto ended = screen->square->ofPhase(TouchPhase::Ended);
    ASSERT_EQ(began.size(), 2u);
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_NE(began[0].id, began[1].id);
    EXPECT_DOUBLE_EQ(std::abs(began[1].location.x - began[0].location.x), 10);
    EXPECT_DOUBLE_EQ(std::abs(ended[1].location.x - ended[0].location.x), 30);
    EXPECT_EQ(screen->square->ofPhase(TouchPhase::Moved).size(), 8u);

    records.clear();
    ASSERT_TRUE(host->runScript("down 3 20 20\n"
                                "down 4 40 40\n"
                                "move 3 25 25\n"
                                "cancel 4\n"
                                "up 3 30 30\n"));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[3].id, 4);
    EXPECT_EQ(records[3].phase, TouchPhase::Cancelled);
    EXPECT_EQ(records[4].phase, TouchPhase::Moved) << "up at a new place moves there first";
    EXPECT_EQ(records[5].phase, TouchPhase::Ended);
    EXPECT_DOUBLE_EQ(records[5].location.x, 30);
}

struct BadScript {
    const char* name;
    const char* script;
    const char* error;
};

class HeadlessScriptErrorTest : public HeadlessHostTest, public ::testing::WithParamInterface<BadScript> {};

TEST_P(HeadlessScriptErrorTest, NamesTheLine) {
    Foundation::LogCapture capture; // the failed screenshot logs why
    std::string error;
    EXPECT_FALSE(host->runScript(GetParam().script, &error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, HeadlessScriptErrorTest,
    ::testing::Values(
        BadScript{"UnknownCommand", "tap 1 1\n\n  # comment\nswipe 1 2\n",
                  "line 4: unknown command \"swipe\""},
        BadScript{"TooFewNumbers", "tap 1\n", "line 1: tap takes 2 numbers, not 1"},
        BadScript{"TooManyNumbers", "drag 1 2 3 4 5 6 7\n", "line 1: drag takes 4 to 6 numbers, not 7"},
        BadScript{"NotANumber", "wait 1\nhold 1 y 2\n", "line 2: \"y\" is not a number"},
        BadScript{"NotFinite", "wait inf\n", "line 1: \"inf\" is not a number"},
        BadScript{"NegativeDuration", "wait -1\n", "line 1: the duration must not be negative"},
        BadScript{"StepsOutOfRange", "pinch 1 1 1 2 0.1 0\n",
                  "line 1: the step count must be a whole number from 1 to 1000"},
        BadScript{"FractionalFinger", "down 1.5 1 1\n", "line 1: the finger id must be a whole number"},
        BadScript{"HalfALocation", "up 1 2\n", "line 1: up takes a finger id and optionally both X and Y"},
        BadScript{"UnknownOrientation", "rotate sideways\n", "line 1: unknown orientation \"sideways\""},
        BadScript{"ScreenshotWithoutFile", "screenshot\n", "line 1: screenshot takes one argument"},
        // Failures while replaying stop at their line; the lines before it have run.
        BadScript{"FingerNotDown", "tap 5 5\nmove 7 1 1\n", "line 2: finger 7 is not down"},
        BadScript{"FingerAlreadyDown", "down 2 1 1\ndown 2 1 1\n", "line 2: finger 2 is already down"},
        BadScript{"UnwritableScreenshot", "screenshot /nonexistent-directory/x.png\n",
                  "line 1: cannot write the screenshot /nonexistent-directory/x.png"}),
    [](const auto& info) { return std::string(info.param.name); });

// Work handed to the shared pool and back to the main thread counts as busy: idle waits for it.
TEST_F(HeadlessHostTest, IdleWaitsForBackgroundWorkHandedBackToTheMainThread) {
    std::atomic<int> stage{0};
    auto square = screen->square;
    // The task waits until the main thread has started on the script, so that the main thread runs
    // out of its own work before the task hands anything back.
    auto scriptRunning = std::make_shared<std::latch>(1);
    Foundation::performOnMainThread([scriptRunning] { scriptRunning->count_down(); }, Foundation::Wait::No);
    Foundation::dispatchAsyncGlobal([&stage, square, scriptRunning] {
        scriptRunning->wait();
        Foundation::performOnMainThread(
            [&stage, square] {
                square->setBackgroundColor({1, 1, 0, 1});
                Foundation::dispatchAsyncGlobal([&stage] {
                    Foundation::performOnMainThread([&stage] { stage = 2; }, Foundation::Wait::No);
                });
                stage = 1;
            },
            Foundation::Wait::Yes);
    });
    ASSERT_TRUE(host->runScript("idle\nscreenshot idle.png\n"));
    EXPECT_EQ(stage.load(), 2);
    auto shot = Graphics::BitmapImage::createFromFile((directory / "idle.png").string());
    ASSERT_TRUE(shot);
    EXPECT_EQ(pixel(*shot->bitmap(), 60, 60), (std::array<int, 4>{255, 255, 0, 255}));
}

TEST(HeadlessHostCreation, RefusesAnUnusableWindow) {
    Foundation::LogCapture capture;
    EXPECT_EQ(HeadlessHost::create({0, 100}, 2), nullptr);
    EXPECT_EQ(HeadlessHost::create({100, 100}, -1), nullptr);
    EXPECT_TRUE(capture.contains("HeadlessHost: cannot make a 0 x 100 window at scale 2"));
}

TEST(HeadlessHostCreation, ScreenScaleFollowsTheHostWhileItLives) {
    const double before = Graphics::mainScreenScale();
    {
        auto host = HeadlessHost::create({100, 100}, 3);
        ASSERT_TRUE(host);
        EXPECT_EQ(Graphics::mainScreenScale(), 3);
    }
    EXPECT_EQ(Graphics::mainScreenScale(), before);
}

TEST(HeadlessMain, RunsAScriptFileAndReportsFailuresByExitStatus) {
    const auto directory = std::filesystem::temp_directory_path() / "rux-headless-main";
    std::filesystem::create_directories(directory);
    const auto script = directory / "script.txt";
    auto makeRoot = [] { return SquareController::create(); };
    auto run = [&](const std::string& text, std::vector<std::string> args) {
        {
            std::FILE* f = std::fopen(script.c_str(), "w");
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
        std::vector<char*> argv{const_cast<char*>("host")};
        for (auto& a : args)
            argv.push_back(a.data());
        return Hosts::runHeadlessMain(static_cast<int>(argv.size()), argv.data(), makeRoot);
    };
    const std::string out = directory.string();
    EXPECT_EQ(run("tap 1 1\n", {"--window"}), std::nullopt) << "no script: the caller opens a window";
    EXPECT_EQ(run("tap 20 20\nscreenshot s.png\n",
                  {"--script", script.string(), "--size", "64x32", "--scale", "1", "--out", out}),
              0);
    auto shot = Graphics::BitmapImage::createFromFile((directory / "s.png").string());
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->bitmap()->width(), 64);
    EXPECT_EQ(shot->bitmap()->height(), 32);
    EXPECT_EQ(run("bogus\n", {"--script", script.string()}), 1);
    EXPECT_EQ(run("", {"--script", (directory / "missing.txt").string()}), 2);
    EXPECT_EQ(run("", {"--script", script.string(), "--size", "big"}), 2);
    EXPECT_EQ(run("", {"--script"}), 2);
    std::filesystem::remove_all(directory);
}

} // namespace
