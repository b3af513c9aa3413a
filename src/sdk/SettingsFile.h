// The one way Kestrel reads and replaces the files it keeps (config.cfg, view.cfg, the pictures'
// XMP sidecars, time lists) and appends to its logs (the sequence log): standard library and
// POSIX only, usable from any layer.
//
// - Nothing blocks: files are opened with O_NONBLOCK and must then be regular files; a fifo, a
//   device or a folder at the name is refused, never waited on.
// - A symbolic link at a settings file is followed only when it belongs to the user running
//   Kestrel (each link of a chain), as the kernel's protected_symlinks does in shared folders; a
//   link another user made is refused. A log is never opened through a link at all.
// - A settings file is replaced whole: written to a hidden random temporary beside it
//   (".kestrel-save-<pid>-<random>.tmp"), synced, renamed over it, keeping its permissions. A
//   read-only file is not replaced. Every write, sync and close is checked; on failure the
//   temporary is removed and the old file stays as it was.
// - A read, change and replace of a file another writer may change too (a sidecar) is done
//   under a FolderLock, which threads and processes alike respect.
// Refusals and failures come back as one line of text naming the file.
#pragma once

#include <cstddef>
#include <string>

namespace sdk {

// Reads at most maxBytes of path into data. False with error empty when there is no file;
// false with the reason in error when it is refused or cannot be read.
bool ReadSettingsFile(const std::string& path, std::size_t maxBytes, std::string& data,
                      std::string& error);

// The one safe write: replaces path whole with text (a new file gets 0666 less the umask). False with the reason
// in error, the old file left as it was.
bool ReplaceSettingsFile(const std::string& path, const std::string& text, std::string& error);

// Removes the temporaries of ReplaceSettingsFile in folder ("" is the working directory) whose
// process has ended, and the ".config.cfg.XXXXXX" temporaries older versions left. Returns how
// many were removed.
int RemoveSettingsLeftovers(const std::string& folder);

// A log file opened for appending (created when missing, 0666 less the umask), never through a
// link, never a fifo or device. Each Append is one write() of the whole record; a record the
// file system took only in part is cut off again (or, when it cannot be, ended with a line
// break before the next record), and a file found ending inside a record gets a line break
// before the first new one, so every record starts on a line of its own.
// An exclusive lock on a folder (flock on the folder itself, so nothing is left in it) held by
// whoever reads, changes and replaces a file in it, until destroyed or Unlock. Every open of the
// folder is a lock of its own: two threads of one process wait for each other as two processes
// do. Where the file system has no such locks (some network shares) the writers go on unlocked,
// each replacement still whole.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits at most waitMs for the lock on folder ("" is the working directory). False with the
    // reason in error when another writer kept it that long or the folder cannot be opened.
    bool Lock(const std::string& folder, int waitMs, std::string& error);
    void Unlock();

private:
    int fd_ = -1;
};

class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // False with the reason in error.
    bool Open(const std::string& path, std::string& error);
    bool isOpen() const { return fd_ >= 0; }
    // True when the file was empty when opened (a header is then due).
    bool wasEmpty() const { return wasEmpty_; }
    // False with the reason in error when the record was not written whole.
    bool Append(const std::string& record, std::string& error);
    void Close();

private:
    int fd_ = -1;
    bool wasEmpty_ = false;
    bool lineOpen_ = false;   // the file ends inside a record: a line break goes first
};

}   // namespace sdk
