#include "ToolScreenTestSupport.h"

#include <Toolkit/Label.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <View/RUXBlurViewController.h>
#include <View/RUXCropViewController.h>
#include <View/RUXOkCancelBar.h>
#include <View/RUXRotateViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <functional>
#include <sstream>

namespace {

using Graphics::Rect;
using ScreenTest::kCancelButton;
using ScreenTest::kOkButton;
using ScreenTest::ToolScreenFixture;

// The parameters of a transformation, to tell a changed copy from an unchanged one.
std::string parametersOf(const RUXTransformationPtr& t) {
    std::ostringstream out;
    if (!t) {
        return "none";
    }
    out << t->transformationClass().name << ":";
    if (auto scalar = std::dynamic_pointer_cast<RUXScalarTransformation>(t)) {
        out << scalar->value();
    } else if (auto blur = std::dynamic_pointer_cast<RUXBlurTransformation>(t)) {
        out << blur->point().x << "," << blur->point().y << "," << blur->scale();
    } else if (auto rotate = std::dynamic_pointer_cast<RUXRotateTransformation>(t)) {
        Graphics::AffineTransform m = rotate->transformMatrix();
        out << m.a << "," << m.b << "," << m.c << "," << m.d << "," << rotate->flipDirection() << ","
            << rotate->rotateDirection();
    } else if (auto crop = std::dynamic_pointer_cast<RUXCropTransformation>(t)) {
        Rect r = crop->cropRect();
        out << r.origin.x << "," << r.origin.y << "," << r.size.width << "," << r.size.height;
    }
    return out.str();
}

// One tool screen: how to open it, what it edits, and a user action that changes its working copy.
struct ToolCase {
    const char* name;
    const RUXClass& (*transformationClass)();
    std::function<std::shared_ptr<Toolkit::ViewController>(ToolScreenFixture&)> present;
    const char* changeScript;
    // Whether OK without a change stores the copy's values unchanged (the crop stores the window).
    bool okKeepsValues;
};

class ToolScreenContract : public ToolScreenFixture, public ::testing::WithParamInterface<ToolCase> {
protected:
    // A history with two steps and one redo step, so that any change to it shows.
    void SetUp() override {
        ToolScreenFixture::SetUp();
        auto brightness = std::make_shared<RUXBrightnessTransformation>();
        brightness->setValue(0.5f);
        editManager->commitTransformation(brightness);
        auto rotate = std::make_shared<RUXRotateTransformation>();
        rotate->rotateClockwise90Degrees();
        editManager->commitTransformation(rotate);
        auto saturation = std::make_shared<RUXSaturationTransformation>();
        saturation->setValue(1.5f);
        editManager->commitTransformation(saturation);
        editManager->undo();
        showCommittedImage();
    }
};

template <class Screen>
std::shared_ptr<Toolkit::ViewController> presentScreen(ToolScreenFixture& fixture) {
    return fixture.present<Screen>();
}

const ToolCase kToolCases[] = {
    {"Brightness", &RUXBrightnessTransformation::classDescriptor, presentScreen<RUXBrightnessViewController>,
     "drag 160 480 260 480", true},
    {"Contrast", &RUXContrastTransformation::classDescriptor, presentScreen<RUXContrastViewController>,
     "drag 160 480 60 480", true},
    {"Saturation", &RUXSaturationTransformation::classDescriptor, presentScreen<RUXSaturationViewController>,
     "drag 160 480 300 480", true},
    {"Blur", &RUXBlurTransformation::classDescriptor, presentScreen<RUXBlurViewController>,
     "tap 40 100\ndrag 100 100 200 300\npinch 160 240 60 180", true},
    {"Rotate", &RUXRotateTransformation::classDescriptor, presentScreen<RUXRotateViewController>,
     "tap 120 480\ntap 200 480", true},
    {"Crop", &RUXCropTransformation::classDescriptor, presentScreen<RUXCropViewController>,
     "pinch 160 280 80 200\ndrag 160 280 120 200", false},
};

TEST_P(ToolScreenContract, CancelLeavesTheCommittedListAndHistoryAsTheyWere) {
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);
    GetParam().present(*this);
    ASSERT_TRUE(isPresenting());
    run(GetParam().changeScript);
    settle();
    tap(kCancelButton);
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(ScreenTest::editStateOf(*editManager), before);
}

TEST_P(ToolScreenContract, OkWithoutChangeCommitsTheCopyAsOneUndoStep) {
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);
    const RUXClass& transformationClass = GetParam().transformationClass();
    const RUXTransformationPtr committedBefore = editManager->getTransformationWithClass(transformationClass);
    GetParam().present(*this);
    tap(kOkButton);
    EXPECT_FALSE(isPresenting());

    const ScreenTest::EditState after = ScreenTest::editStateOf(*editManager);
    EXPECT_EQ(after.undoDepth, before.undoDepth + 1);
    EXPECT_EQ(after.redoDepth, 0);
    const RUXTransformationPtr committed = editManager->getTransformationWithClass(transformationClass);
    ASSERT_TRUE(committed);
    EXPECT_NE(committed, committedBefore) << "the working copy, not the committed object, is committed";
    if (GetParam().okKeepsValues) {
        EXPECT_EQ(parametersOf(committed),
                  parametersOf(committedBefore ? committedBefore : transformationClass.create()));
    }
    editManager->undo();
    EXPECT_EQ(editManager->getTransformationWithClass(transformationClass), committedBefore);
}

TEST_P(ToolScreenContract, ScreenKeepsItsBandsAndTitle) {
    auto screen = GetParam().present(*this);
    auto base = std::dynamic_pointer_cast<RUXTransformationViewControllerBase>(screen);
    ASSERT_TRUE(base);
    EXPECT_EQ(base->rectForTitleView(), Rect(0, 0, 320, 44));
    EXPECT_EQ(base->rectForImageView(), Rect(0, 44, 320, 396));
    EXPECT_EQ(base->rectForFilterBar(), Rect(0, 440, 320, 80));
    EXPECT_EQ(base->rectForToolbar(), Rect(0, 520, 320, 48));
    EXPECT_TRUE(base->prefersStatusBarHidden());
    EXPECT_TRUE(host->application().isStatusBarHidden());
    EXPECT_EQ(base->titleLabel()->text(), GetParam().name);
    // The title band is added last, over the screen's own views.
    EXPECT_TRUE(base->titleLabel()->isDescendantOfView(screen->view()->subviews().back().get()));
    EXPECT_EQ(screen->view()->backgroundColor(), Toolkit::Color::black());
}

INSTANTIATE_TEST_SUITE_P(Screens, ToolScreenContract, ::testing::ValuesIn(kToolCases),
                         [](const ::testing::TestParamInfo<ToolCase>& info) { return info.param.name; });

// Records the bar's presses.
struct BarRecorder : RUXOkCancelBarDelegate {
    void okCancelBarDidPressOkButton(RUXOkCancelBar&) override { presses.push_back("ok"); }
    void okCancelBarDidPressCancelButton(RUXOkCancelBar&) override { presses.push_back("cancel"); }
    std::vector<std::string> presses;
};

TEST_F(ToolScreenFixture, OkCancelBarSplitsItsWidthWithAOnePointSeam) {
    auto bar = RUXOkCancelBar::create({0, 520, 320, 48});
    EXPECT_EQ(bar->cancelButton()->frame(), Rect(0, 0, 159.5, 48));
    EXPECT_EQ(bar->okButton()->frame(), Rect(160.5, 0, 159.5, 48));
    EXPECT_TRUE(bar->okButton()->image(Toolkit::ControlState::Normal));
    EXPECT_TRUE(bar->cancelButton()->image(Toolkit::ControlState::Normal));
    EXPECT_EQ(bar->backgroundColor(), RUXColorWithHexCode(0x191919));
    EXPECT_EQ(bar->okButton()->backgroundColor(), RUXColorWithHexCode(0x282828));

    auto recorder = std::make_shared<BarRecorder>();
    bar->setDelegate(recorder);
    root->view()->addSubview(bar);
    tap(kCancelButton);
    tap(kOkButton);
    tap({160.2, 544}); // the seam belongs to neither button
    EXPECT_EQ(recorder->presses, (std::vector<std::string>{"cancel", "ok"}));

    // The bar does not keep its delegate alive.
    std::weak_ptr<BarRecorder> weak = recorder;
    recorder.reset();
    EXPECT_TRUE(weak.expired());
    tap(kOkButton);

    // Growing the screen keeps the bar at the bottom.
    host->application().setWindowPointSize({320, 640});
    EXPECT_EQ(bar->frame(), Rect(0, 592, 320, 48));
}

TEST_F(ToolScreenFixture, TitleBandAppearsOnlyWhenFirstAskedFor) {
    auto screen = RUXRotateViewController::createWithConfiguration(configuration, editManager, renderer);
    // Loading the view builds the image view, the buttons and the bar, then sets the title.
    auto view = screen->view();
    const std::size_t withTitle = view->subviews().size();
    EXPECT_EQ(withTitle, 4u);
    EXPECT_EQ(screen->titleLabel()->text(), "Rotate");
    EXPECT_EQ(view->subviews().size(), withTitle) << "later reads return the same label";

    // A scalar screen sets its title only when it appears.
    auto brightness =
        RUXBrightnessViewController::createWithConfiguration(configuration, editManager, renderer);
    EXPECT_EQ(brightness->view()->subviews().size(), 3u);
    auto label = brightness->titleLabel();
    EXPECT_EQ(brightness->view()->subviews().size(), 4u);
    EXPECT_EQ(label->frame(), Rect(0, 0, 320, 44));
    EXPECT_EQ(label->text(), "");
    EXPECT_EQ(label->textColor(), Toolkit::Color::white());
    EXPECT_TRUE(label->font()->isBold());
    EXPECT_EQ(label->font()->pointSize(), 17);
}

TEST_F(ToolScreenFixture, ScreensWithoutAnEditManagerShowNothingAndCommitNothing) {
    auto screen = RUXBrightnessViewController::createWithConfiguration(nullptr, nullptr, renderer);
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->transformation());
    root->presentViewController(screen, Toolkit::Animated::No);
    settle();
    run("drag 160 480 260 480");
    settle();
    EXPECT_EQ(screen->titleLabel()->text(), "");
    tap(kOkButton);
    EXPECT_FALSE(isPresenting());
}

} // namespace
