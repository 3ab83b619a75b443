// rux-editor: the host application. Opens the editor on a photo (by default a Debian wallpaper)
// inside a navigation controller; Save writes NAME-edited.jpg beside the photo, Cancel quits.

#include <Common/ExitStatus.h>
#include <Common/InstructionSetSetting.h>
#include <Editor/EditorHost.h>
#include <Editor/EditorInput.h>
#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#ifdef RUX_HAS_WINDOW_HOST
#include <Hosts/WindowHost.h>
#endif

namespace {

constexpr int kExitFailure = ExitStatus::kFailure;
constexpr int kExitUsage = ExitStatus::kUsage;
// Distinct, so that a script can fall back to --headless when there is no display.
constexpr int kExitNoWindow = 3;

const char* const kUsage =
    "usage: rux-editor [--size WxH] [--scale S] [--quit-after SECONDS] [--recipe FILE] [--look-file F.cube]\n"
    "                  [--strip-metadata] [--fresh] [PHOTO]\n"
    "       rux-editor --headless --script FILE [--screenshots DIR] [--save PATH] [--scale S]\n"
    "                  [--strip-metadata] [--journal] [--fresh] [--time] [PHOTO]\n"
    "  Opens the editor on PHOTO (default: %s): PNG, JPEG, WebP, HEIC, AVIF or a camera raw.\n"
    "  In a window, Save writes NAME-edited.jpg beside the photo and Cancel quits. Save keeps the\n"
    "  photo's own size and its Exif, XMP and IPTC (upright, without the old preview) unless\n"
    "  --strip-metadata is given. Keys: Ctrl+Z undo,\n"
    "  Ctrl+Shift+Z or Ctrl+Y redo, Ctrl+S save, Escape cancel or back, Enter OK, Left/Right move the\n"
    "  slider (Up/Down or Tab/Shift+Tab choose which of several), Space held shows the photo before\n"
    "  the edit. Drop a photo on the window to open it.\n"
    "  Without --scale the window takes the display's scale and a size that fits it.\n"
    "  Save also writes the recipe of the edits beside the picture, as NAME-edited.recipe.json (the\n"
    "  picture's name with .recipe.json for its extension); rux-render --recipe replays it.\n"
    "  --recipe FILE opens the photo with the recipe's edits committed as one step (undo removes them).\n"
    "  --look-file F.cube (repeatable) offers a .cube look (1D, 3D or both) after the built-in looks.\n"
    "  Unsaved edits survive a crash: every change is written to a journal of the photo in\n"
    "  $XDG_STATE_HOME/ruximageeditor (default ~/.local/state/ruximageeditor), and opening the\n"
    "  photo again restores them as one undoable step. Save and the back arrow remove the journal;\n"
    "  --fresh opens the photo unedited. A headless replay keeps a journal only with --journal.\n"
    "  --headless replays the touch script FILE without a display; screenshots it takes go to DIR,\n"
    "  and Save writes to PATH (PNG or JPEG by its extension) instead of beside the photo. The\n"
    "  headless screen is 375 x 667 points at scale S (default 2). --time prints how long after the\n"
    "  start the editor's first picture was on the screen (wall and processor time), and the peak\n"
    "  resident memory then.\n"
    "  Exit status: 0 done, 1 a photo, script, recipe, look or save failed, 2 bad arguments, 3 no window.\n";

int usage(const std::string& message) {
    if (!message.empty()) {
        std::fprintf(stderr, "rux-editor: %s\n", message.c_str());
    }
    std::fprintf(stderr, kUsage, EditorHost::kDefaultPhotoPath);
    return kExitUsage;
}

struct Arguments {
    bool help = false;
    bool headless = false;
    EditorHost::HeadlessOptions headlessOptions;
#ifdef RUX_HAS_WINDOW_HOST
    Hosts::WindowHostOptions windowOptions;
#endif
    std::string photo = EditorHost::kDefaultPhotoPath;
    bool journalAsked = false;
};

bool parse(int argc, char** argv, Arguments& arguments, std::string& problem) {
    bool photoGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() -> std::string { return argv[++i]; };
        if (arg == "--help" || arg == "-h") {
            arguments.help = true;
            return true;
        } else if (arg == "--headless") {
            arguments.headless = true;
        } else if (arg == "--time") {
            arguments.headlessOptions.timeFirstFrame = true;
        } else if (arg == "--strip-metadata") {
            arguments.headlessOptions.keepMetadata = false;
        } else if (arg == "--journal") {
            arguments.journalAsked = true;
        } else if (arg == "--fresh") {
            arguments.headlessOptions.journal.fresh = true;
        } else if (arg == "--script" && hasValue) {
            arguments.headlessOptions.scriptPath = value();
        } else if (arg == "--screenshots" && hasValue) {
            arguments.headlessOptions.screenshotDirectory = value();
        } else if (arg == "--save" && hasValue) {
            arguments.headlessOptions.savePath = value();
        } else if (arg == "--recipe" && hasValue) {
            arguments.headlessOptions.recipe.recipePath = value();
        } else if (arg == "--look-file" && hasValue) {
            arguments.headlessOptions.recipe.lookFiles.push_back(value());
        } else if (arg == "--scale" && hasValue) {
            double scale = 0;
            if (std::sscanf(value().c_str(), "%lf", &scale) != 1 || !(scale > 0 && scale <= 4)) {
                problem = "bad value for --scale";
                return false;
            }
            arguments.headlessOptions.scale = scale;
#ifdef RUX_HAS_WINDOW_HOST
            arguments.windowOptions.scale = scale;
#endif
#ifdef RUX_HAS_WINDOW_HOST
        } else if (arg == "--size" && hasValue) {
            Graphics::Size& size = arguments.windowOptions.pointSize;
            if (std::sscanf(value().c_str(), "%lfx%lf", &size.width, &size.height) != 2) {
                problem = "bad value for --size";
                return false;
            }
        } else if (arg == "--quit-after" && hasValue) {
            if (std::sscanf(value().c_str(), "%lf", &arguments.windowOptions.quitAfterSeconds) != 1) {
                problem = "bad value for --quit-after";
                return false;
            }
#endif
        } else if (!arg.empty() && arg[0] == '-') {
            problem = "unknown or incomplete option " + arg;
            return false;
        } else if (photoGiven) {
            problem = "only one photo can be edited at a time";
            return false;
        } else {
            arguments.photo = arg;
            photoGiven = true;
        }
    }
    if (arguments.headless && arguments.headlessOptions.scriptPath.empty()) {
        problem = "--headless needs --script FILE";
        return false;
    }
    if (!arguments.headless &&
        (!arguments.headlessOptions.scriptPath.empty() ||
         !arguments.headlessOptions.screenshotDirectory.empty() || arguments.headlessOptions.savePath ||
         arguments.headlessOptions.timeFirstFrame)) {
        problem = "--script, --screenshots, --save and --time need --headless";
        return false;
    }
    if (!arguments.headless && arguments.journalAsked) {
        problem = "--journal is for --headless (a window always keeps one)";
        return false;
    }
    arguments.headlessOptions.journal.enabled = !arguments.headless || arguments.journalAsked;
    arguments.headlessOptions.photoPath = arguments.photo;
    return true;
}

#ifdef RUX_HAS_WINDOW_HOST
int runWindow(Arguments& arguments) {
    arguments.windowOptions.title = "rux-editor";
    std::unique_ptr<Hosts::WindowHost> host = Hosts::WindowHost::create(arguments.windowOptions);
    if (!host) {
        return kExitNoWindow;
    }
    std::shared_ptr<Graphics::BitmapImage> photo =
        Graphics::BitmapImage::createFromFileLazily(arguments.photo);
    if (!photo) {
        std::fprintf(stderr, "rux-editor: cannot open the photo %s\n", arguments.photo.c_str());
        return kExitFailure;
    }
    auto delegate = std::make_shared<EditorHost::SavingDelegate>(arguments.photo, std::nullopt);
    delegate->setKeepsMetadata(arguments.headlessOptions.keepMetadata);
    Hosts::WindowHost* raw = host.get();
    delegate->onCancel = [raw] { raw->quit(); };
    EditorHost::Session session = EditorHost::makeSession(photo, delegate);
    std::string error;
    if (!EditorHost::prepareEditor(*session.editor, arguments.headlessOptions.recipe, error)) {
        std::fprintf(stderr, "rux-editor: %s\n", error.c_str());
        return kExitFailure;
    }
    bool restored = false;
    delegate->setJournalOptions(arguments.headlessOptions.journal);
    delegate->setJournal(EditorHost::startJournal(*session.editor, arguments.photo,
                                                  arguments.headlessOptions.journal, restored));
    host->application().setRootViewController(session.navigation);
    if (restored) {
        EditorHost::showRestoredNotice(host->application().keyWindow());
    }
    host->setKeyHandler(EditorHost::editorKeyHandler(host->application()));
    host->setDropHandler(EditorHost::editorDropHandler(host->application(), delegate));
    host->run();
    // The editor closes first, then the renders it started are let finish, so that none is still
    // running while the program's statics are destroyed.
    host->application().setRootViewController(nullptr);
    Foundation::RunLoop::main().runUntil([] { return Foundation::globalQueueUnfinishedTaskCount() == 0; },
                                         std::chrono::seconds(10));
    return delegate->saveFailed() ? kExitFailure : 0;
}
#endif

} // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    Arguments arguments;
    arguments.headlessOptions.startTime = start;
    std::string problem;
    if (!parse(argc, argv, arguments, problem)) {
        return usage(problem);
    }
    if (arguments.help) {
        std::printf(kUsage, EditorHost::kDefaultPhotoPath);
        return 0;
    }
    // Only a limit asked for is worth a line; otherwise the engine's own choice stands unannounced.
    if (const char* limit = std::getenv("RUX_SIMD"); limit && *limit) {
        std::fprintf(stderr, "rux-editor: instruction set %s\n",
                     HostSettings::applyInstructionSetSetting("rux-editor"));
    }
    if (arguments.headless) {
        return EditorHost::runHeadless(arguments.headlessOptions);
    }
#ifdef RUX_HAS_WINDOW_HOST
    return runWindow(arguments);
#else
    std::fprintf(stderr, "rux-editor: built without the window host; use --headless\n");
    return kExitNoWindow;
#endif
}
