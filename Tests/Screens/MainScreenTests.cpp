#include "MainScreenTestSupport.h"

#include <Foundation/Log.h>
#include <Toolkit/ViewController.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <set>

namespace {

using Graphics::Rect;
using MainScreenTest::MainScreenFixture;
using MainScreenTest::samePixels;

class MainScreen : public MainScreenFixture {
protected:
    // A crop of the left half, a brightness and a look, committed as the tool screens would.
    void commitCropBrightnessAndLook() {
        auto crop = std::make_shared<RUXCropTransformation>();
        crop->setCropRect(Rect(0, 0, photoWidth / 2.0, photoHeight));
        crop->setOriginalRect(Rect(0, 0, photoWidth, photoHeight));
        editor->editManager()->commitTransformation(crop);
        auto brightness = std::make_shared<RUXBrightnessTransformation>();
        brightness->setValue(0.8f);
        editor->editManager()->commitTransformation(brightness);
        editor->editManager()->commitTransformation(std::make_shared<RUXFilterVivid>());
        editor->syncStateWithEditManager();
        settle();
    }
};

TEST_F(MainScreen, LaysOutItsBandsOnAPhoneScreen) {
    EXPECT_EQ(editor->view()->frame(), Rect(0, 0, 375, 667)) << "the navigation bar must be hidden";
    EXPECT_EQ(editor->fakeNavigationBar()->frame(), Rect(0, 8, 375, 44));
    EXPECT_EQ(editor->imageView()->frame(), Rect(0, 44, 375, 495));
    EXPECT_EQ(editor->filterBar()->frame(), Rect(0, 539, 375, 80));
    EXPECT_EQ(editor->toolbar()->frame(), Rect(0, 619, 375, 48));

    // Back at the left edge, save at the right, undo and redo each half of the room between
    // them, meeting at the centre.
    const Rect back = editor->backButton()->frame(), next = editor->nextButton()->frame();
    const Rect undo = editor->undoButton()->frame(), redo = editor->redoButton()->frame();
    EXPECT_EQ(back.minX(), 0);
    EXPECT_EQ(next.maxX(), 375);
    EXPECT_DOUBLE_EQ(undo.maxX(), 187.5);
    EXPECT_DOUBLE_EQ(redo.minX(), 187.5);
    const double middle = (375 - back.width() - next.width()) / 2;
    EXPECT_DOUBLE_EQ(undo.width(), middle);
    EXPECT_DOUBLE_EQ(redo.width(), middle);
    EXPECT_GT(back.width(), 24) << "the back icon did not load";
    EXPECT_GT(next.width(), 24) << "the save title has no width";
    // The fake bar lies over the photo, whose top it overlaps.
    EXPECT_EQ(editor->view()->subviews().back(), editor->fakeNavigationBar());
}

TEST_F(MainScreen, FirstAppearanceShowsTheCommittedPhotoWithNothingToUndo) {
    EXPECT_TRUE(host->application().isStatusBarHidden());
    EXPECT_EQ(editor->title(), "Edit Image");
    EXPECT_EQ(editor->nextButton()->title(Toolkit::ControlState::Normal), "SAVE");
    ASSERT_NE(shownImage(), nullptr);
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());
    EXPECT_FALSE(editor->undoButton()->isEnabled());
    EXPECT_FALSE(editor->redoButton()->isEnabled());
}

TEST_F(MainScreen, HoldingThePhotoShowsOnlyItsGeometryUntilTheFingerLifts) {
    commitCropBrightnessAndLook();
    const auto committed = shownImage();
    ASSERT_EQ(committed, editor->editManager()->committedImage()->renderedImage());

    run("down 1 " + pointText(centreInWindow(editor->imageView())));
    // The formula asked for holds the geometric edits and nothing else.
    const RUXRenderFormulaPtr original = editor->imageView()->lastImage();
    ASSERT_TRUE(original && original->transformations());
    std::set<std::string> classes;
    for (const auto& t : *original->transformations()) {
        classes.insert(t->transformationClass().name);
    }
    EXPECT_EQ(classes, (std::set<std::string>{"RUXCropTransformation", "RUXNormalizeTransformation"}));
    // The cropped photo without brightness and look: cropped like the committed picture, and
    // equal to a fresh render of the same geometry.
    const auto held = shownImage();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->bitmap()->width(), committed->bitmap()->width());
    EXPECT_NEAR(held->bitmap()->width(), editor->editManager()->lowResImage()->extent().width() / 2, 1);
    EXPECT_FALSE(samePixels(held, committed));
    EXPECT_TRUE(samePixels(held, render(editor->editManager()->imageWithTransformationClasses(
                                     {&RUXCropTransformation::classDescriptor()}))));

    run("up 1");
    EXPECT_EQ(shownImage(), committed);
}

TEST_F(MainScreen, ACancelledTouchAlsoEndsTheComparison) {
    commitCropBrightnessAndLook();
    const auto committed = shownImage();
    run("down 1 " + pointText(centreInWindow(editor->imageView())));
    EXPECT_NE(shownImage(), committed);
    run("cancel 1");
    EXPECT_EQ(shownImage(), committed);
}

TEST_F(MainScreen, UndoAndRedoStepThroughCommittedLooks) {
    auto& bar = *editor->filterBar();
    RUXTransformationPtr vivid = std::make_shared<RUXFilterVivid>(), aden = std::make_shared<RUXFilterAden>();
    editor->filterBarDidSelectFilter(bar, vivid);
    settle();
    EXPECT_TRUE(editor->undoButton()->isEnabled());
    EXPECT_FALSE(editor->redoButton()->isEnabled());
    editor->filterBarDidSelectFilter(bar, aden);
    settle();
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());

    tap(editor->undoButton());
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeFilter), vivid);
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());
    EXPECT_TRUE(editor->redoButton()->isEnabled());

    tap(editor->undoButton());
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeFilter), nullptr);
    EXPECT_FALSE(editor->undoButton()->isEnabled());
    // A disabled button ignores the tap, and the edit manager is not asked to undo further.
    tap(editor->undoButton());
    EXPECT_FALSE(editor->undoButton()->isEnabled());

    tap(editor->redoButton());
    tap(editor->redoButton());
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeFilter), aden);
    EXPECT_FALSE(editor->redoButton()->isEnabled());
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());
}

// Entry i of the look strip, unscrolled: 7 points of gap, then 54-point entries 10 points apart.
Graphics::Point stripEntry(int i) {
    return {7 + 64.0 * i + 27, 539 + 30};
}

// Whether the framebuffer shows the white highlight border along the left edge of entry i's
// thumbnail (5 points into the entry, 2 points wide).
bool showsHighlight(Hosts::HeadlessHost& host, int i) {
    const auto pixels = host.display();
    const int x = int((7 + 64.0 * i + 5.5) * 2), y = (539 + 34) * 2;
    const std::uint8_t* p = pixels->row(y) + 4 * x;
    return p[0] > 240 && p[1] > 240 && p[2] > 240;
}

TEST_F(MainScreen, ALookTappedInTheStripIsHighlightedCommittedAndUndoable) {
    const auto& looks = editor->filterBar()->filters();
    EXPECT_FALSE(showsHighlight(*host, 0)) << "nothing is committed, so nothing is highlighted";

    run("tap " + pointText(stripEntry(1)));
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeFilter), looks[1]);
    EXPECT_TRUE(showsHighlight(*host, 1));
    EXPECT_TRUE(editor->undoButton()->isEnabled());
    EXPECT_FALSE(editor->redoButton()->isEnabled());
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());

    run("tap " + pointText(stripEntry(3)));
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeFilter), looks[3]);
    EXPECT_TRUE(showsHighlight(*host, 3));
    EXPECT_FALSE(showsHighlight(*host, 1));

    // Undo puts the look before back, and the highlight follows it.
    tap(editor->undoButton());
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeFilter), looks[1]);
    EXPECT_TRUE(showsHighlight(*host, 1));
    EXPECT_FALSE(showsHighlight(*host, 3));
    EXPECT_TRUE(editor->redoButton()->isEnabled());
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());

    // Tapping the highlighted look again commits nothing.
    run("tap " + pointText(stripEntry(1)));
    EXPECT_TRUE(editor->redoButton()->isEnabled());
}

TEST_F(MainScreen, SaveTwiceHandsTwoEqualFullResolutionPictures) {
    commitCropBrightnessAndLook();
    tap(editor->nextButton());
    tap(editor->nextButton());
    ASSERT_EQ(delegate->savedImages.size(), 2u);
    ASSERT_NE(delegate->savedImages[0], nullptr);
    EXPECT_TRUE(samePixels(delegate->savedImages[0], delegate->savedImages[1]));
    EXPECT_TRUE(samePixels(delegate->savedImages[0], render(editor->editManager()->resultantImage())));
    EXPECT_EQ(delegate->savedImages[0]->scale(), 1.0);
    // The screen stays: the host closes it.
    EXPECT_EQ(host->application().topViewController(), navigation);
    EXPECT_EQ(delegate->cancels, 0);
}

TEST_F(MainScreen, CancelOnlyTellsTheDelegate) {
    commitCropBrightnessAndLook();
    const RUXTransformationList before = editor->editManager()->transformations();
    tap(editor->backButton());
    EXPECT_EQ(delegate->cancels, 1);
    EXPECT_TRUE(delegate->savedImages.empty());
    EXPECT_EQ(editor->editManager()->transformations(), before);
    EXPECT_TRUE(editor->undoButton()->isEnabled());
}

// Whether the host's navigation bar was hidden before the editor appeared.
class NavigationBarRestore : public MainScreenFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        host = Hosts::HeadlessHost::create();
        ASSERT_TRUE(host);
        // The host's own screen first, with its bar as the parameter says.
        hostScreen = Toolkit::ViewController::create();
        hostNavigation = Toolkit::NavigationController::create(hostScreen);
        hostNavigation->setNavigationBarHidden(GetParam());
        host->application().setRootViewController(hostNavigation);
        editor = RUXMainViewController::create(EditorTest::makePhoto(photoWidth, photoHeight));
        editor->setConfiguration(std::make_shared<RUXImageEditorSampleConfiguration>());
        navigation = Toolkit::NavigationController::create(editor);
        navigation->setNavigationBarHidden(GetParam());
        hostScreen->presentViewController(navigation, Toolkit::Animated::No);
        settle();
    }
    std::shared_ptr<Toolkit::ViewController> hostScreen;
    std::shared_ptr<Toolkit::NavigationController> hostNavigation;
};

TEST_P(NavigationBarRestore, TheHostsBarIsBackAfterTheEditorAndAfterEachToolScreen) {
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    EXPECT_EQ(editor->shouldHideNavBar(), GetParam());

    // A screen over the editor, as a tool screen is presented: the bar is the host's again while
    // the editor is away, and hidden once it is back.
    auto tool = Toolkit::ViewController::create();
    editor->presentViewController(tool, Toolkit::Animated::No);
    settle();
    EXPECT_EQ(navigation->isNavigationBarHidden(), GetParam());
    tool->dismissViewController(Toolkit::Animated::No);
    settle();
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    EXPECT_EQ(editor->view()->frame(), Rect(0, 0, 375, 667));

    // The host closes the editor.
    hostScreen->dismissViewController(Toolkit::Animated::No);
    settle();
    EXPECT_EQ(navigation->isNavigationBarHidden(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(HostBar, NavigationBarRestore, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Hidden" : "Shown"; });

TEST_F(MainScreen, AToolScreenClosingResynchronisesTheMainScreen) {
    // What a tool screen does: presents over the editor, commits, dismisses itself.
    auto tool = Toolkit::ViewController::create();
    editor->presentViewController(tool, Toolkit::Animated::No);
    settle();
    auto brightness = std::make_shared<RUXBrightnessTransformation>();
    brightness->setValue(1.0f);
    editor->editManager()->commitTransformation(brightness);
    tool->dismissViewController(Toolkit::Animated::No);
    settle();
    EXPECT_TRUE(editor->undoButton()->isEnabled());
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());
}

class MainScreenWithoutConfiguration : public MainScreenFixture {
protected:
    void SetUp() override {
        Foundation::LogCapture capture;
        MainScreenFixture::SetUp();
        editor.reset();
        editor = RUXMainViewController::create(EditorTest::makePhoto(photoWidth, photoHeight));
        navigation = Toolkit::NavigationController::create(editor);
        host->application().setRootViewController(navigation);
        settle();
        logged = capture.contains("no configuration");
    }
    bool logged = false;
};

TEST_F(MainScreenWithoutConfiguration, FallsBackToTheSampleConfigurationWithOneLogLine) {
    EXPECT_TRUE(logged);
    EXPECT_EQ(editor->title(), "Edit Image");
    EXPECT_EQ(editor->toolbar()->buttons().size(), 6u);
}

TEST(MainScreenBadInput, ANullPhotoOpensEmptyAndSavesNothing) {
    const TestSupport::MainBundlePath resources(RUX_SOURCE_RESOURCES_DIR);
    {
        auto host = Hosts::HeadlessHost::create();
        auto editor = RUXMainViewController::create(nullptr);
        editor->setConfiguration(std::make_shared<RUXImageEditorSampleConfiguration>());
        auto delegate = std::make_shared<MainScreenTest::RecordingEditorDelegate>();
        editor->setDelegate(delegate);
        host->application().setRootViewController(editor);
        ASSERT_TRUE(host->runUntilIdle());
        EXPECT_EQ(editor->imageView()->image(), nullptr);
        editor->imageViewDidTouchDown(*editor->imageView());
        editor->imageViewDidTouchUp(*editor->imageView());
        editor->didPressNextButton();
        ASSERT_TRUE(host->runUntilIdle());
        ASSERT_EQ(delegate->savedImages.size(), 1u);
        EXPECT_EQ(delegate->savedImages[0], nullptr);
    }
}

TEST(MainScreenColours, ImageForColourFillsEveryPixel) {
    auto image = RUXMainViewController::imageForUIColor({1, 0, 0, 1}, {3, 2});
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->bitmap()->width(), 3);
    EXPECT_EQ(image->bitmap()->height(), 2);
    EXPECT_EQ(EditorTest::pixel(*image->bitmap(), 2, 1), (EditorTest::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(RUXMainViewController::imageForUIColor({1, 0, 0, 1}, {0, 2}), nullptr);
}

} // namespace
