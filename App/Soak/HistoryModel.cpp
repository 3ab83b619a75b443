#include "HistoryModel.h"

#include <algorithm>
#include <sstream>

namespace RuxSoak {

std::string HistoryModel::observe(const RUXTransformationList& list, std::size_t undoSteps,
                                  std::size_t redoSteps, std::size_t levels) {
    if (m_states.empty()) {
        m_states.push_back(list);
        m_position = 0;
        return undoSteps == 0 && redoSteps == 0 ? "" : "a new editor already has a history";
    }
    const std::size_t redoModel = m_states.size() - 1 - m_position;
    std::ostringstream what;
    // An undo: one step moved from the undo stack to the redo stack.
    if (m_position > 0 && undoSteps == m_position - 1 && redoSteps == redoModel + 1) {
        if (list != m_states[m_position - 1]) {
            return "undo did not bring back the list as it was before the undone step";
        }
        --m_position;
        m_change = Change::Undo;
        return "";
    }
    // A redo, unless it is a commit that happened to put back the very same objects (the
    // filter strip commits its own objects), which leaves the model in the same state.
    if (redoModel > 0 && undoSteps == m_position + 1 && redoSteps == redoModel - 1 &&
        list == m_states[m_position + 1]) {
        ++m_position;
        m_change = Change::Redo;
        return "";
    }
    m_change = Change::None;
    if (undoSteps == m_position && redoSteps == redoModel && list == m_states[m_position]) {
        return "";
    }
    // A commit: one new step, the redo stack emptied; at the limit the oldest step goes.
    const std::size_t expectedUndo = levels > 0 ? std::min(m_position + 1, levels) : m_position + 1;
    if (redoSteps == 0 && undoSteps == expectedUndo) {
        m_states.resize(m_position + 1);
        m_states.push_back(list);
        while (levels > 0 && m_states.size() > levels + 1) {
            m_states.erase(m_states.begin());
        }
        m_position = m_states.size() - 1;
        m_change = Change::Commit;
        return "";
    }
    what << "the history went from " << m_position << " undo and " << redoModel << " redo steps to "
         << undoSteps << " and " << redoSteps
         << (list == m_states[m_position] ? " with the list unchanged" : " with a changed list");
    return what.str();
}

} // namespace RuxSoak
