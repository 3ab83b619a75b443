#pragma once

#include <Editor/EditorHost.h>
#include <Hosts/KeyChord.h>
#include <Toolkit/Application.h>
#include <Toolkit/Window.h>
#include <functional>
#include <memory>
#include <string>

class RUXImageView;
class RUXSlider;

namespace EditorHost {

// The editor's keyboard. Every shortcut stands for a button or a touch and does exactly what that
// button or touch does, and only where it could be pressed (enabled, shown, on the screen on top):
//   Ctrl+Z undo, Ctrl+Shift+Z or Ctrl+Y redo, Ctrl+S save (main screen);
//   Escape: Cancel on a tool screen, back on the main screen; Enter: OK on a tool screen;
//   Left / Right: the chosen slider one step, to the next value its thumb reads (held, they repeat);
//   Down / Up, Tab / Shift+Tab: on a screen of several sliders, choose the one below / above (Tab
//   and Shift+Tab go round); until then the arrows move the top one;
//   Space held: the photo without the edit being looked at, as a finger resting on it shows.
// Main thread only.
class EditorKeyboard {
public:
    // Answers whether the key did something.
    bool handleKey(Toolkit::Application& application, const Hosts::KeyChord& chord, Hosts::KeyPhase phase);

private:
    bool handleMainScreenKey(RUXMainViewController& editor, const Hosts::KeyChord& chord);
    bool handleToolScreenKey(Toolkit::View& screen, const Hosts::KeyChord& chord);
    // Marks the slider direction (1 down, −1 up) from the chosen one; wraps goes round the ends.
    bool chooseSlider(Toolkit::View& screen, int direction, bool wraps);
    bool beginComparing(Toolkit::View& screen);
    bool endComparing();

    // The photo held by Space: its release goes to the same view, as a lifted finger's would.
    std::weak_ptr<RUXImageView> m_comparing;
    // The slider the arrows move, marked as selected; the first of a screen while none of its is.
    std::weak_ptr<RUXSlider> m_chosenSlider;
};

// Shows text in a dark band near the top of window for a few seconds (a later notice replaces
// it). Main thread.
void showNotice(const std::shared_ptr<Toolkit::Window>& window, const std::string& text);
// The text of the notice shown now, empty when none is. Main thread.
std::string currentNotice(const std::shared_ptr<Toolkit::Window>& window);

// Opens path in a fresh editor that replaces the one shown in application, saving through
// delegate (which from then on saves the edit of that photo). A file that cannot be read as a
// photo leaves the current editor and its edits as they are, says so on stderr and in a notice,
// and answers false. Main thread.
bool openDroppedPhoto(Toolkit::Application& application, const std::shared_ptr<SavingDelegate>& delegate,
                      const std::string& path);

// The handlers a host (headless or windowed) is given for the editor shown in application: the
// keyboard above, and a dropped file opened with openDroppedPhoto. application must outlive them.
// Main thread.
std::function<bool(const Hosts::KeyChord&, Hosts::KeyPhase)>
editorKeyHandler(Toolkit::Application& application);
std::function<bool(const std::string&)> editorDropHandler(Toolkit::Application& application,
                                                          std::shared_ptr<SavingDelegate> delegate);

} // namespace EditorHost
