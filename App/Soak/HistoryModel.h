#pragma once

#include <Manager/RUXRenderFormula.h>
#include <cstddef>
#include <string>
#include <vector>

namespace RuxSoak {

// What the committed list must look like after each undo, redo and commit, followed through the
// undo manager's step counts. It keeps every list the history can reach, oldest first: the one at
// m_position is the current list, those before it are reached by undo, those after it by redo.
class HistoryModel {
public:
    enum class Change { None, Undo, Redo, Commit };

    // Follows the manager to its new state; answers what is wrong, or "" when it is consistent.
    std::string observe(const RUXTransformationList& list, std::size_t undoSteps, std::size_t redoSteps,
                        std::size_t levels);

    // For an editor opened with one step already taken (edits restored from a journal): before is
    // the list the step started from, after the list it made.
    void startWithRestoredStep(const RUXTransformationList& before, const RUXTransformationList& after) {
        m_states = {before, after};
        m_position = 1;
    }

    // What the last observe saw happen.
    Change change() const { return m_change; }

private:
    Change m_change = Change::None;
    std::vector<RUXTransformationList> m_states;
    std::size_t m_position = 0;
};

} // namespace RuxSoak
