#pragma once

// The soak's faults: a full disk, a folder that turns read-only, a photo that vanishes between its
// drop and its opening, and a kill of the whole process every few hundred touches, after which the
// next process reopens the photo from its journal. Each one is checked for nothing lost: a save
// that cannot be written leaves no file and keeps the edits, and a reopened photo has exactly the
// list the killed process had committed.
//
// The folder is prepared by scripts/soak-faults.sh: full/ a small file system of its own, readonly/
// mounted read-only, and room beside them for the journal, the photos and the run's state.

#include "HistoryModel.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipeJournal.h>
#include <Toolkit/Application.h>
#include <View/RUXMainViewController.h>
#include <memory>
#include <string>

namespace RuxSoak {

struct FaultCounts {
    long fullDisk = 0;
    long readOnly = 0;
    long vanished = 0;
    long reopened = 0;
    // Saves that failed as they should and still left a file, or edits a fault or a kill lost.
    long lost = 0;
};

class Faults {
public:
    // Whether directory can make every fault: full/ a file system that fills, readonly/ a folder
    // that refuses writes even to root. False with a sentence saying which fault cannot be made.
    static bool canMakeFaults(const std::string& directory, std::string& problem);

    Faults(std::string directory, std::string journalKey, long reopenEvery);

    // The step the run goes on from: 1 for a fresh run, else one past the step at which the killed
    // process stopped (its counts are taken over).
    long firstStep() const { return m_firstStep; }

    // Opens the session: takes up the journal the killed process left (the list it had committed
    // comes back as one undoable step, which history is told about) and lets the journal follow
    // the manager. Answers what is wrong, or "".
    std::string open(RUXMainViewController& editor, HistoryModel& history);

    // One of the faults, chosen in turn, with the editor settled on its main screen. Answers what
    // went wrong, or "".
    std::string inject(RUXEditManager& manager, RUXImageRenderer& renderer,
                       Toolkit::Application& application);

    // Whether step is one after which the process is killed.
    bool killsAfter(long step) const { return m_reopenEvery > 0 && step % m_reopenEvery == 0; }
    // Writes down what the next process must find, then SIGKILLs this one.
    [[noreturn]] void killAndReopen(long step, RUXEditManager& manager);

    const FaultCounts& counts() const { return m_counts; }
    // The closing lines; false when anything was lost.
    bool printReport() const;
    // Forgets the run's state, so the next run starts afresh.
    void finish();

private:
    std::string saveRefused(const char* folder, long& count, RUXEditManager& manager,
                            RUXImageRenderer& renderer);
    std::string vanishingPhoto(RUXEditManager& manager, Toolkit::Application& application);

    std::string m_directory;
    std::string m_journalKey;
    long m_reopenEvery;
    long m_firstStep = 1;
    int m_next = 0;
    FaultCounts m_counts;
    std::shared_ptr<RUXRecipeJournal> m_journal;
};

} // namespace RuxSoak
