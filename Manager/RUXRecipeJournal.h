#pragma once

#include <Foundation/Export.h>
#include <Manager/RUXRecipe.h>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class RUXEditManager;

// An opt-in helper for hosts that want a session's edits to outlive a crash: it keeps the committed
// list of one photo written down as a recipe in a file of its own, replaced whole on every change,
// so that the next session on the same photo can take the edits up again. The editor itself never
// uses it; a host creates one per photo it opens and lets it follow the edit manager.
//
// The file is named after a hash of the photo's bytes (see keyForFile), so a renamed or moved photo
// still finds its edits. Each write goes to a temporary file beside it, is flushed to the disk and
// renamed over the journal, on a thread of the journal's own: a reader, even after a kill in the
// middle of a write, finds the previous list or the new one, whole.
//
// Every function is for the main thread unless it says otherwise.
class RUX_API RUXRecipeJournal {
public:
    // Where a host keeps journals: $XDG_STATE_HOME/ruximageeditor, else
    // $HOME/.local/state/ruximageeditor. Empty when neither variable is set (or the first is
    // relative, which the base directory rules ignore, and there is no HOME). Any thread.
    static std::string defaultDirectory();

    // The lower-case hex SHA-256 of the file's bytes; empty (one log line) when it cannot be
    // read. Any thread.
    static std::string keyForFile(const std::string& path);
    static std::string keyForBytes(const void* bytes, std::size_t size);

    // The journal of the photo whose key is given, in directory (created on the first write).
    // nullptr, with one log line, for an empty directory or a key that is not a hex digest. Nothing
    // is read or written yet. The caller owns it.
    static std::shared_ptr<RUXRecipeJournal> create(std::string directory, std::string key);

    // Lets the last recorded list reach the disk, then stops the writer.
    ~RUXRecipeJournal();
    RUXRecipeJournal(const RUXRecipeJournal&) = delete;
    RUXRecipeJournal& operator=(const RUXRecipeJournal&) = delete;

    // directory/KEY.recipe.json. Any thread.
    const std::string& path() const { return m_path; }

    // The list an earlier session left, as a recipe (the caller owns it); nullptr when there is no
    // journal. A journal that cannot be read back (not a recipe, a look that cannot be found) is
    // set aside, renamed to path() + ".unreadable", with one log line, and nullptr is answered
    // too; whether that happened is told in setAside. Temporary files a killed write left beside
    // the journal are removed. resolver finds user looks as for RUXRecipe::createWithDocument.
    std::shared_ptr<const RUXRecipe> readBack(const RUXRecipe::UserLookResolver& resolver,
                                              bool* setAside = nullptr);

    // Queues the list for writing; a list recorded before the previous one reached the disk
    // replaces it there (only the newest matters). Any thread.
    void record(const RUXRecipe& recipe);

    // Records manager's list after every change from now on, through the manager's change observer
    // (which it takes over). The journal is held weakly: once it is gone the observer does nothing.
    // A list that cannot be written as a recipe (a transformation class of the host's own) is
    // skipped with one log line.
    static void follow(const std::shared_ptr<RUXRecipeJournal>& journal, RUXEditManager& manager);

    // Waits until everything recorded so far has been written (or has failed to be). Answers
    // whether the last write succeeded (true when nothing was ever written). Any thread.
    bool flush();

    // Ends the session: forgets a list not yet written and removes the journal file. A later
    // record writes a new one. Answers false (one log line) when a journal was there and could not
    // be removed.
    bool remove();

    // Writes that completed, and that failed, since the journal was made. Any thread.
    std::uint64_t writesCompleted() const;
    std::uint64_t writesFailed() const;

private:
    RUXRecipeJournal(std::string directory, std::string path);
    void writerLoop();
    bool writeDocument(const std::string& document);
    void removeLeftovers() const;

    const std::string m_directory;
    const std::string m_path;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Guarded by m_mutex.
    std::optional<std::string> m_pending;
    std::uint64_t m_recorded = 0; // lists recorded
    std::uint64_t m_settled = 0;  // lists written, failed or superseded
    bool m_writing = false;
    bool m_lastWriteSucceeded = true;
    bool m_stopping = false;
    std::uint64_t m_writesCompleted = 0;
    std::uint64_t m_writesFailed = 0;
    std::thread m_writer;
};
