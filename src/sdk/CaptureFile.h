// One capture file being written: a hidden temporary in the capture folder that becomes the
// picture only when it is whole, under a name nothing else held. Every SDK table that writes
// pictures writes through it. Not thread-safe: one object per file, used by one thread at a time.
//
//   sdk::CaptureFile file;
//   if (int e = file.open("/photos/Photo-0012.jpg")) ...   // errno: nothing was created
//   file.write(data, size);                                 // any number of times
//   std::string saved;
//   if (int e = file.commit(saved)) ...                     // errno: the temporary is gone
//   // saved is "/photos/Photo-0012.jpg", or "/photos/Photo-0013.jpg" when 0012 appeared meanwhile
//
// Guarantees:
// - open creates ".kestrel-capture-<pid>-<random>.part" in the folder of the path with
//   O_CREAT|O_EXCL|O_NOFOLLOW (mode 0666 less the umask): it never opens, truncates or follows
//   anything that was there, and its name (64 random bits) cannot be planted in advance. Nothing outside that folder is ever written.
// - commit syncs the file (fsync), moves it to the path with renameat2(RENAME_NOREPLACE), or
//   link + unlink where the file system has no such rename, and syncs the folder. It never
//   replaces an entry: when the name is taken (a file, a directory, a symlink, even a dangling
//   one), it tries the next numbers in the name's last run of digits before the extension
//   ("Photo-0009.jpg", then "Photo-0010.jpg"), and returns the name it got. A name without
//   digits there whose name is taken fails with EEXIST.
// - A CaptureFile destroyed, or a commit that fails, removes its temporary. A crash leaves at most
//   a temporary, which RemoveLeftovers deletes at the next start.
// Errors are errno values (ENOSPC for a full disk); 0 is success.
#pragma once

#include <cstddef>
#include <string>

namespace sdk {

struct StorageMedium;

// Tells the caller of a release where its file went (an empty text when nowhere): copies saved
// into medium->savedPath, cut to savedCapacity, when the caller gave such a buffer.
void ReportSaved(const StorageMedium* medium, const std::string& saved);

class CaptureFile {
public:
    CaptureFile() = default;
    ~CaptureFile();   // discards the temporary unless committed
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    int open(const std::string& path);
    int fd() const { return fd_; }   // the temporary's descriptor, -1 when not open
    int write(const void* data, std::size_t size);
    int commit(std::string& savedPath);
    void discard();

    // Removes temporaries of open() left in folder by processes that no longer run. Returns how
    // many were removed.
    static int RemoveLeftovers(const std::string& folder);
    // The prefix of every temporary's name.
    static constexpr const char* kTempPrefix = ".kestrel-capture-";
    static constexpr const char* kTempSuffix = ".part";
    // A whole picture in one call: open, write and commit. saved gets the path written (the next
    // free number when path was taken meanwhile), empty on failure. Returns 0 or an errno value.
    static int WriteWhole(const std::string& path, const void* bytes, std::size_t size,
                          std::string& saved);

private:
    int dir_ = -1;
    int fd_ = -1;
    std::string folder_;     // with its trailing '/', or empty for the working directory
    std::string fileName_;   // the name asked for
    std::string tempName_;
};

}   // namespace sdk
