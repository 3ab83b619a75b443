// rux-editor's keyboard, dropped photos and failed saves, on the headless host: each shortcut
// must do what its button does and only where that button could be pressed.
#include "MainScreenTestSupport.h"

#include <Editor/EditorInput.h>
#include <Foundation/Log.h>
#include <Graphics/ImageFile.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXSlidersViewController.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace {

using MainScreenTest::MainScreenFixture;
using MainScreenTest::samePixels;
namespace fs = std::filesystem;

constexpr const char* kFirstLook = "tap 98 569"; // the first look after Original in the strip

class EditorKeys : public MainScreenFixture {
protected:
    void SetUp() override {
        MainScreenFixture::SetUp();
        host->setKeyHandler(EditorHost::editorKeyHandler(host->application()));
    }

    // Presses and releases a chord; answers whether the editor used it.
    bool key(const std::string& text) {
        const std::optional<Hosts::KeyChord> chord = Hosts::parseKeyChord(text);
        EXPECT_TRUE(chord) << text;
        if (!chord)
            return false;
        const bool used = host->keyDown(*chord);
        host->keyUp(*chord);
        settle();
        return used;
    }
    bool canUndo() const { return editor->editManager()->canUndo(); }
    bool canRedo() const { return editor->editManager()->canRedo(); }
    std::shared_ptr<Toolkit::ViewController> top() const { return host->application().topViewController(); }
    // The tool screen open over the editor, or nullptr.
    template <class Screen = Toolkit::ViewController>
    std::shared_ptr<Screen> toolScreen() const {
        return std::dynamic_pointer_cast<Screen>(editor->presentedViewController());
    }
};

TEST_F(EditorKeys, MainScreenShortcutsActOnlyWhereTheirButtonsCanBePressed) {
    // Nothing to undo or redo: both buttons are disabled, and so are their keys.
    EXPECT_FALSE(key("ctrl+z"));
    EXPECT_FALSE(key("ctrl+y"));
    run(kFirstLook);
    ASSERT_TRUE(canUndo());
    const auto withLook = shownImage();

    EXPECT_TRUE(key("ctrl+z"));
    EXPECT_FALSE(canUndo());
    EXPECT_TRUE(canRedo());
    EXPECT_FALSE(editor->undoButton()->isEnabled()) << "the key goes through the button's own action";
    for (const char* redo : {"ctrl+shift+z", "ctrl+y"}) {
        EXPECT_TRUE(key(redo)) << redo;
        EXPECT_TRUE(canUndo()) << redo;
        EXPECT_FALSE(canRedo()) << redo;
        EXPECT_TRUE(samePixels(shownImage(), withLook)) << redo;
        key("ctrl+z");
    }
    key("ctrl+y");

    // Near misses do nothing: no modifier, an extra one, keys of the tool screens.
    for (const char* other : {"z", "ctrl+alt+z", "ctrl+x", "enter", "left", "right"})
        EXPECT_FALSE(key(other)) << other;
    EXPECT_TRUE(canUndo());

    // A button that is not shown cannot be pressed, by finger or by key.
    editor->undoButton()->setHidden(true);
    EXPECT_FALSE(key("ctrl+z"));
    EXPECT_TRUE(canUndo());
    editor->undoButton()->setHidden(false);

    // A held Ctrl+Z repeats; that must not run through the whole history.
    EditorHost::EditorKeyboard keyboard;
    EXPECT_FALSE(
        keyboard.handleKey(host->application(), *Hosts::parseKeyChord("ctrl+z"), Hosts::KeyPhase::Repeated));
    EXPECT_TRUE(canUndo());

    // Save renders and hands the result over each time; the screen and the edits stay.
    EXPECT_TRUE(key("ctrl+s"));
    EXPECT_TRUE(key("ctrl+s"));
    ASSERT_EQ(delegate->savedImages.size(), 2u);
    EXPECT_TRUE(samePixels(delegate->savedImages[0], delegate->savedImages[1]));
    EXPECT_TRUE(key("escape"));
    EXPECT_EQ(delegate->cancels, 1);
    EXPECT_TRUE(canUndo());
    EXPECT_EQ(top(), navigation);
}

using OpenTool = void (RUXMainViewController::*)(RUXToolbar&);

class EditorToolKeys : public EditorKeys, public ::testing::WithParamInterface<OpenTool> {
protected:
    void open() {
        (editor.get()->*GetParam())(*editor->toolbar());
        settle();
        ASSERT_TRUE(toolScreen());
    }
};

TEST_P(EditorToolKeys, EnterIsOkAndEscapeIsCancelAndTheMainScreenKeysRest) {
    open();
    // The main screen's buttons are covered by the tool screen.
    EXPECT_FALSE(key("ctrl+z"));
    EXPECT_FALSE(key("ctrl+s"));
    EXPECT_TRUE(delegate->savedImages.empty());

    EXPECT_TRUE(key("escape"));
    EXPECT_FALSE(toolScreen());
    EXPECT_FALSE(canUndo()) << "Cancel commits nothing";
    EXPECT_EQ(delegate->cancels, 0) << "Escape closed the tool screen, not the editor";

    open();
    EXPECT_TRUE(key("enter"));
    EXPECT_FALSE(toolScreen());
    EXPECT_TRUE(canUndo()) << "OK commits the working copy, changed or not";
}

INSTANTIATE_TEST_SUITE_P(EveryToolScreen, EditorToolKeys,
                         ::testing::Values(&RUXMainViewController::toolbarDidPressRotate,
                                           &RUXMainViewController::toolbarDidPressCrop,
                                           &RUXMainViewController::toolbarDidPressBrightness,
                                           &RUXMainViewController::toolbarDidPressSaturation,
                                           &RUXMainViewController::toolbarDidPressContrast,
                                           &RUXMainViewController::toolbarDidPressBlur));

TEST_F(EditorKeys, ArrowsStepTheSliderAsADragWouldAndOkCommitsTheValue) {
    editor->toolbarDidPressBrightness(*editor->toolbar());
    settle();
    auto screen = toolScreen<RUXScalarTransformationViewControllerBase>();
    ASSERT_TRUE(screen);
    const std::shared_ptr<RUXSlider>& slider = screen->slider();

    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(key("right"));
    EXPECT_DOUBLE_EQ(slider->currentValue(), 3);
    EXPECT_EQ(slider->sliderLabel()->text(), "3");
    // The whole range −2…2 over −100…100: three steps are 0.06.
    EXPECT_FLOAT_EQ(screen->transformation()->value(), 0.06f);
    EXPECT_TRUE(key("left"));
    EXPECT_FLOAT_EQ(screen->transformation()->value(), 0.04f);

    // From between two values a step goes to the next whole one, as the label shows them.
    slider->setCurrentValue(2.6);
    EXPECT_TRUE(key("right"));
    EXPECT_DOUBLE_EQ(slider->currentValue(), 3);
    slider->setCurrentValue(2.6);
    EXPECT_TRUE(key("left"));
    EXPECT_DOUBLE_EQ(slider->currentValue(), 2);
    // At the end there is no further step, and nothing is reported.
    slider->setCurrentValue(100);
    screen->transformation()->setValue(2);
    EXPECT_FALSE(key("right"));
    EXPECT_DOUBLE_EQ(slider->currentValue(), 100);

    slider->setCurrentValue(50);
    EXPECT_TRUE(key("left"));
    EXPECT_TRUE(key("enter"));
    auto committed = std::dynamic_pointer_cast<RUXScalarTransformation>(
        editor->editManager()->committedTransformationWithType(screen->transformation()->type()));
    ASSERT_TRUE(committed);
    EXPECT_FLOAT_EQ(committed->value(), 0.98f);
}

// On a screen of several sliders the arrows move the top one until Down, Up, Tab or Shift+Tab
// chooses another, which is marked; each press changes what the thumb reads.
TEST_F(EditorKeys, DownChoosesTheSliderTheArrowsMoveAndOkCommitsIt) {
    editor->toolbarDidPressTool(*editor->toolbar(), RUXSharpenTransformation::classDescriptor());
    settle();
    auto screen = toolScreen<RUXSlidersViewController>();
    ASSERT_TRUE(screen && screen->sliders().size() == 2);
    const std::shared_ptr<RUXSlider> amount = screen->sliders()[0], radius = screen->sliders()[1];
    EXPECT_FALSE(amount->isSelected() || radius->isSelected()) << "no mark before a choice";

    EXPECT_TRUE(key("down"));
    EXPECT_TRUE(radius->isSelected());
    EXPECT_FALSE(amount->isSelected());
    EXPECT_FALSE(key("down")) << "the radius is the bottom slider";
    EXPECT_TRUE(key("right"));
    auto copy = std::static_pointer_cast<RUXSharpenTransformation>(screen->transformation());
    // One unit of 0.5 … 3 spread over −100 … 100 from the radius of 1.
    EXPECT_FLOAT_EQ(copy->radius(), 1.0125f);
    EXPECT_EQ(copy->value(), 0.0f);
    // Tab and Shift+Tab go round the ends.
    EXPECT_TRUE(key("tab"));
    EXPECT_TRUE(amount->isSelected() && !radius->isSelected());
    EXPECT_TRUE(key("shift+tab"));
    EXPECT_TRUE(radius->isSelected() && !amount->isSelected());

    EXPECT_TRUE(key("enter"));
    EXPECT_FALSE(toolScreen());
    auto committed = std::dynamic_pointer_cast<RUXSharpenTransformation>(
        editor->editManager()->getTransformationWithClass(RUXSharpenTransformation::classDescriptor()));
    ASSERT_TRUE(committed);
    EXPECT_FLOAT_EQ(committed->radius(), 1.0125f);
    EXPECT_EQ(committed->value(), 0.0f);

    // The vignette's midpoint reads hundredths of 0 … 1, two units each: every press still shows one.
    editor->toolbarDidPressTool(*editor->toolbar(), RUXVignetteTransformation::classDescriptor());
    settle();
    auto vignette = toolScreen<RUXSlidersViewController>();
    ASSERT_TRUE(vignette && vignette->sliders().size() == 3);
    const std::shared_ptr<RUXSlider> midpoint = vignette->sliders()[1];
    const auto reading = [&midpoint] { return midpoint->textForValue(midpoint->currentValue()); };
    EXPECT_TRUE(key("down"));
    EXPECT_TRUE(key("right"));
    EXPECT_EQ(reading(), "0.51");
    EXPECT_TRUE(key("right"));
    EXPECT_EQ(reading(), "0.52");
    EXPECT_TRUE(key("left"));
    EXPECT_EQ(reading(), "0.51");
}

TEST_F(EditorKeys, HoldingSpaceComparesAsAFingerRestingOnThePhotoDoes) {
    run(kFirstLook);
    const auto committed = shownImage();
    run("down 1 187 290\nidle");
    const auto held = shownImage();
    run("up 1\nidle");
    ASSERT_FALSE(samePixels(held, committed));

    const Hosts::KeyChord space = *Hosts::parseKeyChord("space");
    EXPECT_TRUE(host->keyDown(space));
    settle();
    EXPECT_TRUE(samePixels(shownImage(), held));
    host->keyUp(space);
    settle();
    EXPECT_TRUE(samePixels(shownImage(), committed));

    // On a tool screen the photo held is the tool's, shown without the edit being made.
    editor->toolbarDidPressBrightness(*editor->toolbar());
    settle();
    auto screen = toolScreen<RUXScalarTransformationViewControllerBase>();
    ASSERT_TRUE(screen);
    for (int i = 0; i < 8; ++i)
        key("right");
    const auto previewed = screen->imageView()->image();
    run("down 1 187 290\nidle");
    const auto toolHeld = screen->imageView()->image();
    run("up 1\nidle");
    EXPECT_TRUE(host->keyDown(space));
    settle();
    EXPECT_TRUE(samePixels(screen->imageView()->image(), toolHeld));
    EXPECT_FALSE(samePixels(screen->imageView()->image(), previewed));
    host->keyUp(space);
    settle();
    EXPECT_TRUE(samePixels(screen->imageView()->image(), previewed));
}

// A photo whose screen does not compare leaves Space to others, and its release does nothing.
TEST_F(EditorKeys, SpaceIsNotTakenWhereThePhotoDoesNotCompare) {
    run(kFirstLook);
    const auto committed = shownImage();
    auto indifferent = std::make_shared<RUXImageViewDelegate>();
    editor->imageView()->setDelegate(indifferent);
    const Hosts::KeyChord space = *Hosts::parseKeyChord("space");
    EXPECT_FALSE(host->keyDown(space));
    settle();
    EXPECT_FALSE(host->keyUp(space));
    settle();
    EXPECT_TRUE(samePixels(shownImage(), committed));
}

// The editor with rux-editor's own delegate, so dropped photos and saves touch real files.
class EditorFiles : public EditorKeys {
protected:
    void SetUp() override {
        EditorKeys::SetUp();
        directory =
            fs::temp_directory_path() / ("rux-editor-input-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory);
        fs::create_directories(directory);
        photo = (directory / "first.png").string();
        ASSERT_TRUE(
            Graphics::writeImageFile(*EditorTest::makePhoto(photoWidth, photoHeight)->bitmap(), photo));
        useSavingDelegate(photo, std::nullopt);
    }
    void TearDown() override {
        EditorKeys::TearDown();
        fs::remove_all(directory);
    }
    void useSavingDelegate(const std::string& photoPath, std::optional<std::string> savePath) {
        saving = std::make_shared<EditorHost::SavingDelegate>(photoPath, std::move(savePath));
        editor->setDelegate(saving);
        host->setDropHandler(EditorHost::editorDropHandler(host->application(), saving));
    }
    std::set<std::string> filesIn(const fs::path& folder) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string notice() const { return EditorHost::currentNotice(host->window()); }

    fs::path directory;
    std::string photo;
    std::shared_ptr<EditorHost::SavingDelegate> saving;
};

TEST_F(EditorFiles, ADroppedPhotoOpensInAFreshEditorThatSavesBesideIt) {
    run(kFirstLook);
    const std::string second = (directory / "second photo.png").string();
    ASSERT_TRUE(Graphics::writeImageFile(*EditorTest::makePhoto(640, 480)->bitmap(), second));
    ASSERT_TRUE(run("drop " + second));

    auto fresh =
        std::dynamic_pointer_cast<Toolkit::NavigationController>(host->application().rootViewController());
    ASSERT_TRUE(fresh);
    ASSERT_NE(fresh, navigation);
    auto freshEditor = std::dynamic_pointer_cast<RUXMainViewController>(fresh->topViewController());
    ASSERT_TRUE(freshEditor);
    EXPECT_FALSE(freshEditor->editManager()->canUndo()) << "the dropped photo starts without edits";
    EXPECT_TRUE(key("ctrl+s")) << "the keys follow the editor on top";
    const auto saved =
        Graphics::BitmapImage::createFromFile((directory / "second photo-edited.jpg").string());
    ASSERT_TRUE(saved);
    // The dropped photo's shape (4:3), not the first one's (3:2).
    EXPECT_EQ(saved->bitmap()->width() * 3, saved->bitmap()->height() * 4);
    EXPECT_FALSE(fs::exists(directory / "first-edited.jpg"));
}

class EditorUnreadableDrop : public EditorFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(EditorUnreadableDrop, KeepsTheEditorAndItsEditsAndSaysSo) {
    run(kFirstLook);
    const fs::path file = directory / GetParam();
    if (file.filename() == "notes.jpg")
        std::ofstream(file) << "not a photo";
    if (file.filename() == "cut.png") {
        const std::string whole = (directory / "whole.png").string();
        ASSERT_TRUE(Graphics::writeImageFile(*EditorTest::makePhoto(64, 64)->bitmap(), whole));
        fs::copy_file(whole, file);
        fs::resize_file(file, fs::file_size(file) / 2);
    }
    Foundation::LogCapture quiet;
    EXPECT_FALSE(host->drop(file.string()));
    settle();
    EXPECT_EQ(host->application().rootViewController(), navigation);
    EXPECT_TRUE(canUndo());
    EXPECT_NE(notice().find(file.filename().string()), std::string::npos) << notice();
    // What was shown keeps working: the edit is still saved beside the first photo.
    EXPECT_TRUE(key("ctrl+s"));
    EXPECT_TRUE(fs::exists(directory / "first-edited.jpg"));
}

INSTANTIATE_TEST_SUITE_P(MissingGarbledAndCut, EditorUnreadableDrop,
                         ::testing::Values("missing.jpg", "notes.jpg", "cut.png", "."));

// Save into a place that cannot be written: a "folder" that is a file, a folder that refuses new
// files even to root, and a disk too small for the picture (a tiny tmpfs, where mounting is allowed).
enum class Unwritable { FolderIsAFile, ReadOnlyFolder, FullDisk };

class EditorUnwritableSave : public EditorFiles, public ::testing::WithParamInterface<Unwritable> {
protected:
    void TearDown() override {
        if (mounted)
            std::system(("umount '" + (directory / "full").string() + "'").c_str());
        EditorFiles::TearDown();
    }
    bool mounted = false;
};

TEST_P(EditorUnwritableSave, SaysSoKeepsTheEditsAndLeavesNoFileBehind) {
    fs::path watched = directory;
    switch (GetParam()) {
    case Unwritable::FolderIsAFile:
        useSavingDelegate(photo, photo + "/edited.jpg");
        break;
    case Unwritable::ReadOnlyFolder:
        useSavingDelegate("/proc/rux-editor-test-photo.png", std::nullopt);
        break;
    case Unwritable::FullDisk:
        watched = directory / "full";
        fs::create_directories(watched);
        mounted =
            std::system(
                ("mount -t tmpfs -o size=16k tmpfs '" + watched.string() + "' 2>/dev/null").c_str()) == 0;
        if (!mounted)
            GTEST_SKIP() << "cannot mount a small tmpfs here";
        useSavingDelegate((watched / "photo.png").string(), std::nullopt);
        break;
    }
    run(kFirstLook);
    const std::set<std::string> before = filesIn(watched);
    Foundation::LogCapture quiet;

    EXPECT_TRUE(key("ctrl+s"));
    EXPECT_TRUE(saving->saveFailed());
    EXPECT_TRUE(saving->savedPaths().empty());
    EXPECT_EQ(notice().rfind("Not saved", 0), 0u) << notice();
    EXPECT_EQ(filesIn(watched), before) << "no reserved name, no partial picture";
    EXPECT_TRUE(canUndo());
    EXPECT_EQ(top(), navigation) << "the editor stays open";
    // The notice clears itself after a while.
    host->advance(5);
    EXPECT_EQ(notice(), "");
}

std::string unwritableName(const ::testing::TestParamInfo<Unwritable>& info) {
    switch (info.param) {
    case Unwritable::FolderIsAFile:
        return "FolderIsAFile";
    case Unwritable::ReadOnlyFolder:
        return "ReadOnlyFolder";
    case Unwritable::FullDisk:
        return "FullDisk";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Places, EditorUnwritableSave,
                         ::testing::Values(Unwritable::FolderIsAFile, Unwritable::ReadOnlyFolder,
                                           Unwritable::FullDisk),
                         unwritableName);

} // namespace
