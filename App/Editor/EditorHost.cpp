#include <Common/ExitStatus.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Editor/EditorConfiguration.h>
#include <Editor/EditorHost.h>
#include <Editor/EditorInput.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoOutput.h>
#include <Hosts/HeadlessHost.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace EditorHost {

namespace {

constexpr int kJpegQuality = 92;
// Far more edits of one photo than anyone keeps; past it something is wrong with the folder.
constexpr int kMaxNumberedNames = 10000;

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Said over the editor, which stays open with its edits, so the user can free room and save again.
void showSaveFailure(RUXImageEditorViewController& editor, const std::string& text) {
    std::fprintf(stderr, "rux-editor: %s\n", text.c_str());
    if (editor.isViewLoaded())
        showNotice(editor.view()->window(), text);
}

} // namespace

std::optional<std::string> reserveEditedPath(const std::string& photoPath) {
    const std::filesystem::path photo(photoPath);
    const std::filesystem::path folder = photo.parent_path().empty() ? "." : photo.parent_path();
    const std::string stem = photo.stem().string();
    for (int number = 1; number <= kMaxNumberedNames; ++number) {
        std::string name = stem;
        name.append("-edited");
        if (number > 1) {
            name.append("-").append(std::to_string(number));
        }
        name.append(".jpg");
        const std::filesystem::path candidate = folder / name;
        // Exclusive creation: the name is ours only if nobody had it, whoever else is saving.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return candidate.string();
        }
        if (errno != EEXIST) {
            Foundation::log("rux-editor: cannot create a file in %s: %s", folder.c_str(),
                            std::strerror(errno));
            return std::nullopt;
        }
    }
    Foundation::log("rux-editor: no free name for the edit of %s", photoPath.c_str());
    return std::nullopt;
}

bool writeEditedImage(const Graphics::BitmapImage& image, const std::string& path,
                      const std::string& photoPath, bool keepMetadata) {
    if (samePath(path, photoPath)) {
        Foundation::log("rux-editor: refusing to write the edit over the photo %s", photoPath.c_str());
        return false;
    }
    const std::shared_ptr<const Graphics::Bitmap>& bitmap = image.bitmap();
    // The photo's metadata is read at save time: the file on disk is what the user will compare with.
    Graphics::PhotoOutputOptions output;
    output.quality = kJpegQuality;
    if (keepMetadata) {
        output.metadata = Graphics::PhotoMetadata::createFromFile(photoPath);
    }
    return bitmap && Graphics::writePhoto(*bitmap, path, output);
}

void SavingDelegate::imageEditorViewControllerDidFinishEditingWithImage(
    RUXImageEditorViewController& editor, std::shared_ptr<const Graphics::BitmapImage> image) {
    if (!image) {
        Foundation::log("rux-editor: the edit could not be rendered; nothing was saved");
        m_saveFailed = true;
        showSaveFailure(editor, "Not saved: the edit could not be rendered");
        return;
    }
    std::optional<std::string> path = m_savePath;
    const bool reserved = !path;
    if (!path) {
        path = reserveEditedPath(m_photoPath);
    }
    if (!path || !writeEditedImage(*image, *path, m_photoPath, m_keepsMetadata)) {
        if (path && reserved) {
            std::error_code ignored;
            std::filesystem::remove(*path, ignored);
        }
        m_saveFailed = true;
        const std::filesystem::path folder = std::filesystem::path(path ? *path : m_photoPath).parent_path();
        showSaveFailure(editor, "Not saved: cannot write in " +
                                    (folder.empty() ? std::string(".") : folder.filename().string()));
        return;
    }
    m_savedPaths.push_back(*path);
    if (!writeRecipeForImage(editor, *path)) {
        m_saveFailed = true;
    }
    // The edits are in the saved picture and its recipe now: the session's journal has done its work.
    if (m_journal) {
        m_journal->remove();
    }
    std::printf("Saved the edited photo (%d x %d) to %s\n", image->bitmap()->width(),
                image->bitmap()->height(), path->c_str());
    std::fflush(stdout);
}

void SavingDelegate::imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController&) {
    m_cancelled = true;
    if (m_journal) {
        m_journal->remove();
    }
    if (onCancel) {
        onCancel();
    }
}

Session makeSession(std::shared_ptr<const Graphics::BitmapImage> photo,
                    const std::shared_ptr<RUXImageEditorViewControllerDelegate>& delegate) {
    Session session;
    // Our host keeps the photo's own resolution on Save.
    session.editor = RUXMainViewController::create(std::move(photo), RUXOutputResolution::Original);
    session.editor->setConfiguration(std::make_shared<EditorConfiguration>());
    session.editor->setDelegate(delegate);
    session.navigation = Toolkit::NavigationController::create(session.editor);
    return session;
}

int runHeadless(const HeadlessOptions& options) {
    std::ifstream file(options.scriptPath);
    if (!file) {
        std::fprintf(stderr, "rux-editor: cannot read the script %s\n", options.scriptPath.c_str());
        return ExitStatus::kFailure;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    const std::optional<Hosts::TouchScript> script = Hosts::parseTouchScript(text.str(), &error);
    if (!script) {
        std::fprintf(stderr, "rux-editor: %s: %s\n", options.scriptPath.c_str(), error.c_str());
        return ExitStatus::kFailure;
    }
    // Decoded at the size the screens need; Save decodes again at the size it renders.
    std::shared_ptr<Graphics::BitmapImage> photo =
        Graphics::BitmapImage::createFromFileLazily(options.photoPath);
    if (!photo) {
        std::fprintf(stderr, "rux-editor: cannot open the photo %s\n", options.photoPath.c_str());
        return ExitStatus::kFailure;
    }
    std::unique_ptr<Hosts::HeadlessHost> host =
        Hosts::HeadlessHost::create(Hosts::HeadlessHost::defaultPointSize, options.scale);
    if (!host) {
        return ExitStatus::kFailure;
    }
    // The editor sizes its thumbnails for the screen it is shown on.
    Graphics::setMainScreenScale(options.scale);
    if (!options.screenshotDirectory.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(options.screenshotDirectory, ignored);
        host->setOutputDirectory(options.screenshotDirectory);
    }
    auto delegate = std::make_shared<SavingDelegate>(options.photoPath, options.savePath);
    delegate->setKeepsMetadata(options.keepMetadata);
    Session session = makeSession(photo, delegate);
    if (!prepareEditor(*session.editor, options.recipe, error)) {
        std::fprintf(stderr, "rux-editor: %s\n", error.c_str());
        return ExitStatus::kFailure;
    }
    bool restored = false;
    delegate->setJournalOptions(options.journal);
    delegate->setJournal(startJournal(*session.editor, options.photoPath, options.journal, restored));
    host->application().setRootViewController(session.navigation);
    if (restored) {
        showRestoredNotice(host->application().keyWindow());
    }
    host->setKeyHandler(editorKeyHandler(host->application()));
    host->setDropHandler(editorDropHandler(host->application(), delegate));
    if (options.timeFirstFrame) {
        // The committed picture is rendered on the pool and shown from the run loop: the first frame
        // with the photo is the first display after it arrived.
        Foundation::RunLoop::main().runUntil(
            [&session] { return session.editor->imageView() && session.editor->imageView()->image(); },
            std::chrono::seconds(10));
        host->display();
        const double milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - options.startTime)
                .count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double cpuMilliseconds = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        std::printf(
            "first frame: %.1f ms after start (%.1f ms of processor time), peak resident memory %.1f MB\n",
            milliseconds, cpuMilliseconds, static_cast<double>(usage.ru_maxrss) / 1024.0);
        std::fflush(stdout);
    }
    if (!host->runUntilIdle()) {
        std::fprintf(stderr, "rux-editor: the editor did not settle after opening\n");
        return ExitStatus::kFailure;
    }
    // One command at a time, so that Cancel (which quits a real host) ends the replay.
    for (const Hosts::TouchCommand& command : script->commands) {
        if (!host->run(Hosts::TouchScript{{command}}, &error)) {
            std::fprintf(stderr, "rux-editor: %s: %s\n", options.scriptPath.c_str(), error.c_str());
            return ExitStatus::kFailure;
        }
        if (delegate->cancelled()) {
            std::printf("Cancelled\n");
            break;
        }
    }
    if (!host->runUntilIdle()) {
        std::fprintf(stderr, "rux-editor: background work did not finish\n");
        return ExitStatus::kFailure;
    }
    return delegate->saveFailed() ? ExitStatus::kFailure : ExitStatus::kSuccess;
}

} // namespace EditorHost
