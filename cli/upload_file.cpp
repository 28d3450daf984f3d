#include "upload_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace quorcmd {
namespace {

constexpr int kTemporaryAttempts = 100;
constexpr mode_t kNewFileMode = 0666;  // before the umask, as fopen creates files

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a file of its own in `folder`; -1 when none can be created.
int createTemporary(const std::string& folder, std::string& name) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        name = folder + "/.quorcmd-" + std::to_string(getpid()) + "-" + std::to_string(attempt) +
               ".part";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

UploadFile::~UploadFile() {
    discard();
}

bool UploadFile::open(const std::string& destination) {
    discard();
    struct stat existing {};
    const bool exists = stat(destination.c_str(), &existing) == 0;
    struct stat link {};
    const bool dangling_link = !exists && lstat(destination.c_str(), &link) == 0;
    if ((exists && !S_ISREG(existing.st_mode)) || dangling_link) {
        file_ = std::fopen(destination.c_str(), "w");
        return file_ != nullptr;
    }
    // A file the user may not write stays refused, as opening it would be.
    if (exists && access(destination.c_str(), W_OK) != 0) return false;
    target_ = destination;
    if (exists) {
        // Through a symbolic link the file it names is replaced, not the link.
        char resolved[PATH_MAX];
        if (realpath(destination.c_str(), resolved) == nullptr) return false;
        target_ = resolved;
    }
    const int fd = createTemporary(folderOf(target_), temporary_);
    if (fd < 0) {
        temporary_.clear();
        return false;
    }
    if (exists) {
        // The replacement keeps the owner and permissions of the old file
        // where it may.
        (void)fchown(fd, existing.st_uid, existing.st_gid);
        (void)fchmod(fd, existing.st_mode & 07777);
    }
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
        close(fd);
        discard();
        return false;
    }
    return true;
}

bool UploadFile::commit() {
    if (file_ == nullptr) return false;
    bool written = std::fflush(file_) == 0;
    if (!temporary_.empty()) written = fsync(fileno(file_)) == 0 && written;
    written = std::fclose(std::exchange(file_, nullptr)) == 0 && written;
    if (temporary_.empty()) return written;
    written = written && std::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (!written) unlink(temporary_.c_str());
    temporary_.clear();
    return written;
}

void UploadFile::discard() {
    if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

bool IsSameFile(const std::string& path, std::FILE* file) {
    struct stat named {};
    struct stat open {};
    return file != nullptr && stat(path.c_str(), &named) == 0 && fstat(fileno(file), &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace quorcmd
