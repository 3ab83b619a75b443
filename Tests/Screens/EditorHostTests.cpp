// rux-editor, the host application: its delegate's files, its headless sessions against
// rux-render, and its answers to bad input.
#include "MainScreenTestSupport.h"

#include <Editor/EditorHost.h>
#include <Foundation/Log.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoMetadata.h>
#include <Support/RunProgram.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using MainScreenTest::samePixels;

using ToolRun = TestSupport::ProgramRun;
using TestSupport::runProgram;

class EditorHost : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("rux-editor-tests-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        photo = path("photo.png");
        ASSERT_TRUE(Graphics::writeImageFile(*EditorTest::makePhoto(600, 400)->bitmap(), photo));
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::string path(const std::string& name) const { return (directory / name).string(); }
    std::string writeScript(const std::string& text) const {
        const std::string file = path("session.txt");
        std::ofstream(file) << text;
        return file;
    }
    static std::shared_ptr<Graphics::BitmapImage> load(const std::string& file) {
        return Graphics::BitmapImage::createFromFile(file);
    }

    std::filesystem::path directory;
    std::string photo;
};

TEST_F(EditorHost, AScriptedSessionSavesWhatRuxRenderMakesOfTheSameEdits) {
    // Cantata, then Chorale, then undo: Cantata is committed when Save is pressed.
    const std::string script = writeScript("idle\n"
                                           "tap 98 569\nidle\n"
                                           "tap 226 569\nidle\n"
                                           "tap 140 30\nidle\n"
                                           "screenshot main.png\n"
                                           "tap 345 18\nidle\n");
    const ToolRun editor =
        runProgram(RUX_EDITOR_PATH, "--headless --script " + script + " --screenshots " + directory.string() +
                                        " --save " + path("saved.png") + " " + photo);
    ASSERT_EQ(editor.exitCode, 0) << editor.output;
    EXPECT_NE(editor.output.find("saved.png"), std::string::npos) << "the host must say where it saved";
    EXPECT_TRUE(std::filesystem::exists(path("main.png")));

    const ToolRun render = runProgram(RUX_RENDER_PATH, photo + " " + path("rendered.png") +
                                                           " --look Cantata --resolution original --scale 2");
    ASSERT_EQ(render.exitCode, 0) << render.output;
    const auto saved = load(path("saved.png")), rendered = load(path("rendered.png"));
    ASSERT_TRUE(saved && rendered);
    EXPECT_TRUE(samePixels(saved->bitmap().get(), rendered->bitmap().get()));
    EXPECT_FALSE(samePixels(saved->bitmap().get(), load(photo)->bitmap().get())) << "no look was applied";
}

// Save writes the recipe beside the picture; opening the photo with that recipe shows the same
// edit, and one undo takes all of it away.
TEST_F(EditorHost, SaveWritesTheRecipeThatReopensAsOneUndoableStep) {
    const std::string pickAndSave = writeScript("idle\ntap 98 569\nidle\ntap 345 18\nidle\n");
    ToolRun run = runProgram(RUX_EDITOR_PATH, "--headless --script " + pickAndSave + " --save " +
                                                  path("first.png") + " " + photo);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(std::filesystem::exists(path("first.recipe.json")));

    const std::string saveUndoSave =
        writeScript("idle\ntap 345 18\nidle\ntap 140 30\nidle\ntap 345 18\nidle\n");
    std::filesystem::copy_file(path("first.recipe.json"), path("look.json"));
    run = runProgram(RUX_EDITOR_PATH, "--headless --script " + saveUndoSave + " --save " + path("again.png") +
                                          " --recipe " + path("look.json") + " " + photo);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The script saved twice over again.png: first with the recipe, then after the undo.
    const auto first = load(path("first.png")), undone = load(path("again.png"));
    ASSERT_TRUE(first && undone);
    EXPECT_NE(run.output.find("again.png"), std::string::npos);
    std::ifstream recipe(path("again.recipe.json"));
    const std::string text{std::istreambuf_iterator<char>(recipe), {}};
    EXPECT_NE(text.find("\"transformations\": []"), std::string::npos) << text;
    EXPECT_FALSE(samePixels(first->bitmap().get(), undone->bitmap().get()));

    const std::string justSave = writeScript("idle\ntap 345 18\nidle\n");
    run = runProgram(RUX_EDITOR_PATH, "--headless --script " + justSave + " --save " + path("replayed.png") +
                                          " --recipe " + path("look.json") + " " + photo);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(samePixels(first->bitmap().get(), load(path("replayed.png"))->bitmap().get()));
}

TEST_F(EditorHost, CancelEndsTheSession) {
    const std::string script = writeScript("idle\ntap 20 30\nscreenshot after-cancel.png\n");
    const ToolRun editor = runProgram(RUX_EDITOR_PATH, "--headless --script " + script + " --screenshots " +
                                                           directory.string() + " " + photo);
    EXPECT_EQ(editor.exitCode, 0) << editor.output;
    EXPECT_NE(editor.output.find("Cancelled"), std::string::npos) << editor.output;
    EXPECT_FALSE(std::filesystem::exists(path("after-cancel.png")));
}

TEST_F(EditorHost, SavesBesideThePhotoUnderFreshNamesAndNeverOverIt) {
    const TestSupport::MainBundlePath resources(RUX_SOURCE_RESOURCES_DIR);
    auto delegate = std::make_shared<::EditorHost::SavingDelegate>(photo, std::nullopt);
    auto editor = RUXMainViewController::create(load(photo));
    editor->setDelegate(delegate);
    editor->didPressNextButton();
    editor->didPressNextButton();
    ASSERT_EQ(delegate->savedPaths(),
              (std::vector<std::string>{path("photo-edited.jpg"), path("photo-edited-2.jpg")}));
    EXPECT_FALSE(delegate->saveFailed());
    const auto first = load(path("photo-edited.jpg")), second = load(path("photo-edited-2.jpg"));
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(samePixels(first->bitmap().get(), second->bitmap().get()));

    // A save path that names the photo itself is refused, and the photo stays as it was.
    const auto before = load(photo);
    auto overwriting = std::make_shared<::EditorHost::SavingDelegate>(photo, photo);
    editor->setDelegate(overwriting);
    {
        Foundation::LogCapture capture;
        editor->didPressNextButton();
        EXPECT_TRUE(capture.contains("refusing"));
    }
    EXPECT_TRUE(overwriting->saveFailed());
    EXPECT_TRUE(samePixels(before->bitmap().get(), load(photo)->bitmap().get()));
}

TEST_F(EditorHost, SavesAtThePhotosOwnSizeWithItsMetadataUnlessStripped) {
    Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
    const char* data = std::getenv("RUX_TEST_DATA");
    // 16 × 12 stored, Orientation 8 (turned counter-clockwise to show), make "Seed".
    const std::string camera = std::string(data ? data : "Tests/Data") + "/images/camera-orientation8.jpg";
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "kept" : "stripped");
        const std::string saved = path(keep ? "kept.jpg" : "stripped.jpg");
        auto delegate = std::make_shared<::EditorHost::SavingDelegate>(camera, saved);
        delegate->setKeepsMetadata(keep);
        auto session = ::EditorHost::makeSession(load(camera), delegate);
        session.editor->didPressNextButton();
        ASSERT_FALSE(delegate->saveFailed());
        const auto written = load(saved);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->orientation(), Graphics::ImageOrientation::Up);
        EXPECT_EQ(written->bitmap()->width(), 12);
        EXPECT_EQ(written->bitmap()->height(), 16);
        const auto metadata = Graphics::PhotoMetadata::createFromFile(saved);
        ASSERT_EQ(metadata != nullptr, keep);
        if (metadata) {
            EXPECT_EQ(metadata->value("Exif.Image.Make"), "Seed");
            EXPECT_EQ(metadata->value("Exif.Image.Orientation"), "1");
        }
    }
    Foundation::Bundle::setMainBundlePath("");
}

struct BadRun {
    const char* name;
    const char* arguments; // {photo}, {script} and {dir} are replaced
    int exitCode;
};

class EditorHostBadInput : public EditorHost, public ::testing::WithParamInterface<BadRun> {};

TEST_P(EditorHostBadInput, FailsWithOneLineAndItsExitCode) {
    std::ofstream(path("corrupt.jpg")) << "not a picture";
    std::ofstream(path("save.txt")) << "idle\ntap 345 18\nidle\n";
    std::ofstream(path("bad.txt")) << "idle\nfly 1 2\n";
    std::string arguments = GetParam().arguments;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"{photo}", photo}, {"{script}", writeScript("idle\n")}, {"{dir}", directory.string()}}) {
        for (std::size_t at; (at = arguments.find(key)) != std::string::npos;) {
            arguments.replace(at, key.size(), value);
        }
    }
    const ToolRun run = runProgram(RUX_EDITOR_PATH, arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.output;
    EXPECT_FALSE(run.output.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, EditorHostBadInput,
    ::testing::Values(
        BadRun{"HeadlessWithoutScript", "--headless {photo}", 2},
        BadRun{"ScriptWithoutHeadless", "--script {script} {photo}", 2},
        BadRun{"TwoPhotos", "--headless --script {script} {photo} {photo}", 2},
        BadRun{"UnknownOption", "--headless --script {script} --bogus {photo}", 2},
        BadRun{"BadScale", "--headless --script {script} --scale 0 {photo}", 2},
        BadRun{"MissingPhoto", "--headless --script {script} {dir}/missing.jpg", 1},
        BadRun{"CorruptPhoto", "--headless --script {script} {dir}/corrupt.jpg", 1},
        BadRun{"MissingScript", "--headless --script {dir}/none.txt {photo}", 1},
        BadRun{"BadScript", "--headless --script {dir}/bad.txt {photo}", 1},
        BadRun{"UnwritableSave", "--headless --script {dir}/save.txt --save {dir}/no/such/x.png {photo}", 1},
        BadRun{"UnknownSaveType", "--headless --script {dir}/save.txt --save {dir}/x.gif {photo}", 1},
        BadRun{"MissingRecipe", "--headless --script {script} --recipe {dir}/none.json {photo}", 1},
        BadRun{"CorruptRecipe", "--headless --script {script} --recipe {dir}/save.txt {photo}", 1},
        BadRun{"CorruptLookFile", "--headless --script {script} --look-file {dir}/save.txt {photo}", 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
