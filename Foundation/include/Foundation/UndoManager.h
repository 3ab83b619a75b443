#pragma once

#include <Foundation/Export.h>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

namespace Foundation {

// Undo and redo history: two stacks of steps, each step a group of recorded calls on targets.
//
// - Registering outside undo and redo adds to the open group (or the implicit one when grouping
//   by event) and empties the redo stack.
// - undo() pops the newest undo step and performs its calls, newest first; whatever those calls
//   register forms one step on the redo stack. redo() does the same the other way round, and
//   what it registers goes onto the undo stack without touching the remaining redo steps.
// - With a limit on the levels of undo, closing a step past the limit drops the oldest one.
// - Targets are held weakly (the owner of the history is usually a target), so a call whose
//   target has gone is skipped when its step is performed.
//
// Main thread only. A call from another thread does nothing, logs one line and answers the
// neutral result (false, 0); so does a call that breaks the grouping rules (see each function).
class RUX_API UndoManager : public std::enable_shared_from_this<UndoManager> {
public:
    // A new, empty history: unlimited levels, grouping by event on. Never nullptr; the caller
    // owns it.
    static std::shared_ptr<UndoManager> create();

    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // The largest number of steps kept on each stack; 0 means unlimited. Lowering it drops the
    // oldest steps at once.
    std::size_t levelsOfUndo() const { return m_levelsOfUndo; }
    void setLevelsOfUndo(std::size_t levels);

    // When on, a registration made with no group open opens one that the main run loop closes
    // at the end of the current turn (or that the next undo or redo closes), so everything one
    // event registers is undone together. When off, each registration outside a group is a
    // step of its own.
    bool groupsByEvent() const { return m_groupsByEvent; }
    void setGroupsByEvent(bool groupsByEvent);

    // Opens a group; groups nest, and only closing the outermost makes a step. Closing with no
    // group open is ignored with a log line. A step that recorded nothing is discarded.
    void beginUndoGrouping();
    void endUndoGrouping();
    // How many groups are open, the implicit event group included.
    std::size_t groupingLevel() const { return m_open.size(); }

    // Records a call on target: performing the step calls action if target is still alive.
    // A null target or empty action is ignored with a log line.
    void registerUndo(const std::weak_ptr<void>& target, std::function<void()> action);

    // Records action(target) with target held weakly, e.g.
    // undo->registerUndo(shared_from_this(), [old](Document& d) { d.setValue(old); }).
    template <class T>
    void registerUndo(const std::shared_ptr<T>& target,
                      std::type_identity_t<std::function<void(T&)>> action) {
        if (!target || !action) {
            registerUndo(std::weak_ptr<void>(), nullptr);
            return;
        }
        std::weak_ptr<T> weak = target;
        registerUndo(std::weak_ptr<void>(target), [weak, action = std::move(action)] {
            if (auto strong = weak.lock()) {
                action(*strong);
            }
        });
    }

    // Performs the newest undo or redo step. Does nothing on an empty stack, while a group
    // other than the implicit event group is open, or from inside another undo or redo.
    void undo();
    void redo();

    // True while the respective stack holds a step (for undo, also while the implicit event
    // group has recorded something).
    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return m_mode == Mode::Undoing; }
    bool isRedoing() const { return m_mode == Mode::Redoing; }

    // Number of steps on each stack, the open event group not counted.
    std::size_t undoStepCount() const { return m_undoStack.size(); }
    std::size_t redoStepCount() const { return m_redoStack.size(); }

    // Empties both stacks and whatever the open groups recorded; the groups stay open.
    void removeAllActions();

private:
    UndoManager() = default;

    struct Group;
    struct Entry {
        std::weak_ptr<void> target;
        std::function<void()> action;
        std::unique_ptr<Group> child; // set instead of target and action for a nested group
    };
    struct Group {
        std::vector<Entry> entries;
        bool hasActions() const;
    };
    enum class Mode { Normal, Undoing, Redoing };

    bool requireMainThread(const char* function) const;
    void closeEventGroup();
    void pushStep(std::deque<std::unique_ptr<Group>>& stack, std::unique_ptr<Group> step);
    void trim(std::deque<std::unique_ptr<Group>>& stack);
    void performStep(std::deque<std::unique_ptr<Group>>& from, Mode mode);
    static void perform(Group& group);

    std::size_t m_levelsOfUndo = 0;
    bool m_groupsByEvent = true;
    bool m_eventGroupOpen = false; // the outermost open group was opened implicitly
    Mode m_mode = Mode::Normal;
    std::deque<std::unique_ptr<Group>> m_undoStack; // oldest first
    std::deque<std::unique_ptr<Group>> m_redoStack; // oldest first
    std::vector<std::unique_ptr<Group>> m_open;     // outermost first
};

} // namespace Foundation
