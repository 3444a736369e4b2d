#pragma once

#include "platform/os/file.h"
#include "platform/paradox/journal_record.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace paradox {

class Fence;


// The rollback journal of one table family (the table, its primary index,
// its secondary indexes and their own indexes, its memo file).
//
// Inside a transaction every write to a file of the family is held in
// memory, and reads see it there. The commit writes, for every page about to
// change, its original bytes and the bytes it is about to get, and each
// file's size before and after, into a journal beside the table and puts it
// on the disk; only then are the files changed, then flushed; removing the
// journal is the moment of the commit. A commit that fails puts the files
// back itself. A writer killed or a machine stopped at any point leaves
// either the files untouched or a journal that the next writer plays back
// (recover), so the family is always as before the transaction or as after
// it. A journal is played back only onto the state its commit could have
// left; any other journal is set aside and the table refused for writing
// (see JOURNAL.md).
class Journal {
public:
    // Its changes to the disk are told to hooks (none: the disk as it is),
    // which outlive it.
    explicit Journal(std::string tablePath, const os::Hooks* hooks = nullptr);
    const os::Hooks* hooks() const { return hooks_; }
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Where the journal of a table lies: beside it, named after it, under an
    // extension that the host's engine does not use.
    static std::string pathFor(const std::string& tablePath);
    // Where a journal that could not be played back is kept.
    static std::string setAsidePathFor(const std::string& tablePath);
    // The largest journal or undo record the family could have produced.
    static uint64_t sizeLimit(const std::string& tablePath);

    // A writer's recovery; the caller holds the family's fence and has
    // checked for other programs. A journal whose commit provably left the
    // files as they are is played back (the original bytes and sizes go
    // back, the journal goes). Any other journal is set aside, and so is any
    // found before: Error is raised, naming it and what to do. A journal cut
    // short before its seal is dropped: no file was changed after it.
    enum class Leftover { None, PlayedBack };
    static Leftover recover(const std::string& tablePath, const os::Hooks* hooks = nullptr);
    // Whether a journal, or a journal's temporary, lies beside the table.
    static bool leftoverPresent(const std::string& tablePath);
    // The same for journal bytes given (an undo): they are first put beside
    // the table as its journal, so that an interrupted playback is finished
    // by the next writer. A playback that fails puts the files forward again
    // to the state it found, and its journal goes.
    static void playBack(const std::string& tablePath, const std::vector<uint8_t>& journal,
                         const os::Hooks* hooks = nullptr);

    // A reader's view of a journal left by a commit that may still be under
    // way or was cut short: while it is there, the family reads as before
    // that commit, and nothing is written. True when there is one.
    bool overlayLeftover();
    // The family as a journal's records say it was before their commit
    // (the undo's view of the table before the run), held in memory.
    void overlay(const std::vector<JournalRecord>& records);
    bool overlaid() const { return overlaid_; }
    void dropOverlay();

    // Called with the journal bytes once the files are changed and flushed,
    // just before the journal goes (the commit point); called with null when
    // the commit was then rolled back after all.
    using CommitRecord = std::function<void(const std::vector<uint8_t>* journal)>;
    void setCommitRecord(CommitRecord record) { commitRecord_ = std::move(record); }

    // Transactions nest; only the outermost end commits.
    void begin();
    void end();
    // Drops everything held since the outermost begin.
    void rollback();
    bool active() const { return depth_ > 0; }

    // Points inside the transaction to go back to when a statement (or a
    // whole input file) fails; they nest. release keeps what was done since.
    size_t savepoint();
    void release(size_t savepoint);
    void rollbackTo(size_t savepoint);

    // The fence against other programs, held until the transaction ends.
    bool fenced() const { return fence_ != nullptr; }
    void hold(std::unique_ptr<Fence> fence);

    // Writing and reading a file of the family through what is held. file
    // is the file open, used for reading what is not held.
    void write(const std::string& path, const os::File& file, const uint8_t* data, size_t n, int64_t at);
    void replace(const std::string& path, const os::File& file, const std::vector<uint8_t>& data);
    os::Status read(const std::string& path, const os::File& file, uint8_t* out, size_t n, int64_t at) const;
    int64_t size(const std::string& path, const os::File& file) const;
    // Whether the file is as the last commit left it (identity now given).
    bool leftByCommit(const std::string& path, const os::Identity& now) const;

    // The journal of the last commit, sealed: what puts the family back as
    // it was before that transaction; empty when it changed nothing.
    const std::vector<uint8_t>& lastCommitted() const { return lastCommitted_; }
    // How many times the disk was asked to flush, for the benchmark.
    uint64_t flushes() const { return flushes_; }

private:
    static constexpr size_t pageSize = 4096;
    using Page = std::vector<uint8_t>;
    struct File {
        int64_t original = 0;  // size on the disk
        int64_t size = 0;      // size as written
        std::map<uint64_t, Page> pages;
    };
    // What a page (or, under noPage, a file's size) was before the first
    // change since a savepoint.
    static constexpr uint64_t noPage = ~uint64_t(0);
    struct Before {
        std::optional<Page> page;  // none: the page was not held
        int64_t size = 0;
        bool fileHeld = true;
    };
    using Level = std::map<std::pair<std::string, uint64_t>, Before>;

    File& fileOf(const std::string& path, const os::File& file);
    Page& pageOf(File& file, const std::string& path, const os::File& disk, uint64_t page);
    void noteSize(const std::string& path, const File* file);
    void resize(File& file, const std::string& path, int64_t size);
    void commit();
    std::vector<uint8_t> journalBytes() const;
    void finish();

    std::string tablePath_;
    const os::Hooks* hooks_ = nullptr;
    int depth_ = 0;
    std::map<std::string, File> files_;
    std::vector<Level> levels_;  // one per savepoint, innermost last
    std::unique_ptr<Fence> fence_;
    std::map<std::string, os::Identity> committed_;
    std::vector<uint8_t> lastCommitted_;
    uint64_t flushes_ = 0;
    bool overlaid_ = false;
    CommitRecord commitRecord_;
};

// Puts the original bytes and sizes of the records back into the files of
// folder, each file flushed; opens no link and no file that is not regular.
os::Status restoreOriginals(const std::string& folder, const std::vector<JournalRecord>& records,
                            const os::Hooks* hooks = nullptr);
// Whether the records concern only files of the table's family and the
// files hold, wherever the records cover them, their original or their
// committed bytes, in sizes between the two: a state that the records' commit
// could have left, cut short or not.
bool provablyLeftByCommit(const std::string& tablePath, const std::vector<JournalRecord>& records);
// Whether a name is one of the family's files this engine writes: the
// table's stem and a known extension, no separator, no NUL.
bool familyFileName(const std::string& tablePath, const std::string& name);

} // namespace paradox
