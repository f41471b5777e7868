#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The folder of recovery journals and this run's claim on it. A run holds an flock on a lock
// file named by its random token for as long as it lives; a journal names the token of the run
// that wrote it (in its bytes and in its file name), so a journal whose lock file is gone or can
// be locked was left by a run that ended without cleaning up, and one whose lock is held belongs
// to a live run (this one or another) and is not touched. The kernel drops the lock of a killed
// process, so no stale pid can pass for alive, and a reused pid does not matter. Whatever else
// lies in the folder (folders, pipes, links, devices) is never opened as a journal.
class RecoveryFolder {
  public:
    // $XDG_STATE_HOME/sonomap/recovery, else ~/.local/state/sonomap/recovery; "" without either.
    static std::string DefaultPath();

    explicit RecoveryFolder(std::string path);
    // Gives up the claim; a normal end leaves no lock file behind.
    ~RecoveryFolder();
    RecoveryFolder(const RecoveryFolder&) = delete;
    RecoveryFolder& operator=(const RecoveryFolder&) = delete;

    // Creates the folder, takes this run's lock and clears killed runs' leftovers. False, with the
    // reason in words, when the folder cannot be made or written: the run then keeps no journals.
    bool Open(std::string& reason);
    bool IsOpen() const { return m_lockFd >= 0; }
    const std::string& Path() const { return m_path; }
    uint64_t Token() const { return m_token; }

    // Where this run keeps the journal of a document with this key: a hash of the key, so any
    // path fits, and the run's token, so two runs editing one file keep a journal each.
    std::string JournalPathFor(const std::string& key) const;
    // The same for the run with this token.
    std::string JournalPathFor(const std::string& key, uint64_t token) const;
    // Every journal in the folder, set-aside ones excluded: regular files only, at most
    // kMaxJournals of them.
    std::vector<std::string> JournalPaths() const;
    // The journals other runs (and earlier versions, which named them by the key alone) kept
    // for a document with this key, as JournalPaths finds them.
    std::vector<std::string> LeftJournalsFor(const std::string& key) const;

    // More entries than this are junk, not journals, and are not looked at.
    static constexpr size_t kMaxJournals = 1024;
    // Whether the run with this token still runs.
    bool IsOwnerAlive(uint64_t token) const;
    // Removes the lock file a dead run left.
    void ForgetDeadOwner(uint64_t token) const;
    // Renames a journal so that it is never offered again but still there to look at; the new
    // name, or "" when the rename failed.
    std::string SetAside(const std::string& journalPath) const;

  private:
    // Removes what killed runs left over a minute ago: unheld lock files and half-written
    // journals.
    void SweepLeftovers() const;
    std::string LockPathOf(uint64_t token) const;

    std::string m_path;
    uint64_t m_token = 0;
    int m_lockFd = -1;
};
