// The destination file of an upload, replaced only when the upload succeeds:
// the bytes go to a temporary file in the destination's folder, which
// commit() renames over the destination. A failed upload leaves an existing
// destination as it was. Destinations that exist but are no regular files
// (devices, FIFOs) are written in place. Main thread only.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace quorcmd {

class UploadFile {
public:
    UploadFile() = default;
    ~UploadFile();  // discards what was not committed
    UploadFile(const UploadFile&) = delete;
    UploadFile& operator=(const UploadFile&) = delete;

    // Creates the temporary file (or opens the destination in place); false
    // when that fails, so a destination that cannot be created fails before
    // the transfer starts.
    bool open(const std::string& destination);

    // Where the bytes go; valid between open() and commit() or discard().
    std::FILE* file() const { return file_; }

    // Closes the file and moves it to the destination; false when writing or
    // renaming fails (the temporary file is then removed).
    bool commit();

    // Closes and removes the temporary file; the destination is untouched.
    void discard();

private:
    std::FILE* file_ = nullptr;
    std::string temporary_;  // empty when writing in place
    std::string target_;     // the regular file replaced by commit()
};

// True when `path` names the same file as the open `file` (device and inode).
bool IsSameFile(const std::string& path, std::FILE* file);

}  // namespace quorcmd
