#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Foundation/UndoManager.h>
#include <algorithm>

namespace Foundation {

bool UndoManager::Group::hasActions() const {
    return std::ranges::any_of(entries,
                               [](const Entry& e) { return e.child ? e.child->hasActions() : true; });
}

std::shared_ptr<UndoManager> UndoManager::create() {
    return std::shared_ptr<UndoManager>(new UndoManager);
}

bool UndoManager::requireMainThread(const char* function) const {
    if (isMainThread()) {
        return true;
    }
    log("UndoManager::%s called off the main thread; ignored", function);
    return false;
}

void UndoManager::setLevelsOfUndo(std::size_t levels) {
    if (!requireMainThread("setLevelsOfUndo")) {
        return;
    }
    m_levelsOfUndo = levels;
    trim(m_undoStack);
    trim(m_redoStack);
}

void UndoManager::setGroupsByEvent(bool groupsByEvent) {
    if (!requireMainThread("setGroupsByEvent")) {
        return;
    }
    m_groupsByEvent = groupsByEvent;
}

void UndoManager::beginUndoGrouping() {
    if (!requireMainThread("beginUndoGrouping")) {
        return;
    }
    m_open.push_back(std::make_unique<Group>());
}

void UndoManager::endUndoGrouping() {
    if (!requireMainThread("endUndoGrouping")) {
        return;
    }
    if (m_open.empty()) {
        log("UndoManager::endUndoGrouping without an open group; ignored");
        return;
    }
    std::unique_ptr<Group> group = std::move(m_open.back());
    m_open.pop_back();
    if (!m_open.empty()) {
        if (group->hasActions()) {
            m_open.back()->entries.push_back(Entry{{}, nullptr, std::move(group)});
        }
        return;
    }
    m_eventGroupOpen = false;
    // While undoing, what the undone calls register is the way back: it belongs on redo.
    pushStep(m_mode == Mode::Undoing ? m_redoStack : m_undoStack, std::move(group));
}

void UndoManager::registerUndo(const std::weak_ptr<void>& target, std::function<void()> action) {
    if (!requireMainThread("registerUndo")) {
        return;
    }
    // An empty weak_ptr that never pointed anywhere reads as expired, like a dead target.
    if (target.expired() || !action) {
        log("UndoManager::registerUndo without a live target or action; ignored");
        return;
    }
    if (m_mode == Mode::Normal) {
        m_redoStack.clear();
    }
    bool ownGroup = false;
    if (m_open.empty()) {
        if (m_groupsByEvent) {
            beginUndoGrouping();
            m_eventGroupOpen = true;
            // Close the group once the event that opened it has been handled.
            RunLoop::main().post([weak = weak_from_this()] {
                if (auto self = weak.lock()) {
                    self->closeEventGroup();
                }
            });
        } else {
            beginUndoGrouping();
            ownGroup = true;
        }
    }
    m_open.back()->entries.push_back(Entry{target, std::move(action), nullptr});
    if (ownGroup) {
        endUndoGrouping();
    }
}

void UndoManager::closeEventGroup() {
    if (m_eventGroupOpen && m_open.size() == 1) {
        endUndoGrouping();
    }
}

void UndoManager::pushStep(std::deque<std::unique_ptr<Group>>& stack, std::unique_ptr<Group> step) {
    if (!step->hasActions()) {
        return;
    }
    stack.push_back(std::move(step));
    trim(stack);
}

void UndoManager::trim(std::deque<std::unique_ptr<Group>>& stack) {
    while (m_levelsOfUndo > 0 && stack.size() > m_levelsOfUndo) {
        stack.pop_front();
    }
}

void UndoManager::perform(Group& group) {
    for (auto it = group.entries.rbegin(); it != group.entries.rend(); ++it) {
        if (it->child) {
            perform(*it->child);
            continue;
        }
        if (it->target.expired()) {
            continue;
        }
        try {
            it->action();
        } catch (...) {
            log("UndoManager: an undo action threw an exception; it was skipped");
        }
    }
}

void UndoManager::performStep(std::deque<std::unique_ptr<Group>>& from, Mode mode) {
    const char* name = mode == Mode::Undoing ? "undo" : "redo";
    if (!requireMainThread(name)) {
        return;
    }
    if (m_mode != Mode::Normal) {
        log("UndoManager::%s called while undoing or redoing; ignored", name);
        return;
    }
    closeEventGroup();
    if (!m_open.empty()) {
        log("UndoManager::%s called with a group open; ignored", name);
        return;
    }
    if (from.empty()) {
        return;
    }
    // Taken off the stack before it runs, so the calls it makes see the history without it.
    std::unique_ptr<Group> step = std::move(from.back());
    from.pop_back();
    // Keeps the history alive if an action releases its last owner.
    auto keepAlive = shared_from_this();
    m_mode = mode;
    beginUndoGrouping();
    perform(*step);
    // The action may itself have left groups open; the step being built must still close.
    while (m_open.size() > 1) {
        log("UndoManager::%s: an action left a group open; closed", name);
        endUndoGrouping();
    }
    endUndoGrouping();
    m_mode = Mode::Normal;
}

void UndoManager::undo() {
    performStep(m_undoStack, Mode::Undoing);
}

void UndoManager::redo() {
    performStep(m_redoStack, Mode::Redoing);
}

bool UndoManager::canUndo() const {
    if (!requireMainThread("canUndo")) {
        return false;
    }
    return !m_undoStack.empty() || (m_eventGroupOpen && !m_open.empty() && m_open.front()->hasActions());
}

bool UndoManager::canRedo() const {
    if (!requireMainThread("canRedo")) {
        return false;
    }
    return !m_redoStack.empty();
}

void UndoManager::removeAllActions() {
    if (!requireMainThread("removeAllActions")) {
        return;
    }
    m_undoStack.clear();
    m_redoStack.clear();
    for (auto& group : m_open) {
        group->entries.clear();
    }
}

} // namespace Foundation
