#pragma once

#include <Manager/RUXRecipeJournal.h>
#include <Toolkit/Window.h>
#include <View/RUXImageEditorViewController.h>
#include <memory>
#include <string>

namespace EditorHost {

// How rux-editor keeps a session's edits across a crash (see RUXRecipeJournal).
struct JournalOptions {
    // On in a window; a headless replay keeps one only when asked (--journal), so that replaying a
    // script stays independent of the sessions before it.
    bool enabled = false;
    // Opens the photo unedited whatever journal it has; the first change replaces that journal.
    bool fresh = false;
    // Empty: RUXRecipeJournal::defaultDirectory().
    std::string directory;
};

// The notice a photo opened with its journal's edits shows.
inline constexpr const char* kRestoredNotice = "Restored the unsaved edits (undo removes them)";

// Starts the journal of the session editing photoPath in editor, before the editor is shown (so
// that it appears with its undo button on): unless options.fresh, the edits an earlier session
// left are committed as one undoable step and restored says so; from then on every change is
// written down. A journal that does not parse is set aside and the photo stays unedited. nullptr
// when options.enabled is false or no journal can be kept (no folder, an unreadable photo; one log
// line), and the editor works as without one. Main thread.
std::shared_ptr<RUXRecipeJournal> startJournal(RUXImageEditorViewController& editor,
                                               const std::string& photoPath, const JournalOptions& options,
                                               bool& restored);

// The list of a recipe as the editor's own screens would commit it: a look is the filter strip's
// instance of that look (the strip highlights its own objects only), when the strip offers it.
// Loads the editor's view. Main thread.
RUXTransformationList withStripLooks(RUXImageEditorViewController& editor, RUXTransformationList list);

// Says over window, once the editor is shown, that its edits were restored; the notice blocks no
// touch. Main thread.
void showRestoredNotice(const std::shared_ptr<Toolkit::Window>& window);

} // namespace EditorHost
