#include "files/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "foundation/Exception.h"
#include "foundation/FileDescriptor.h"
#include "foundation/Text.h"

namespace kovra {

namespace {

// A path for a message, so that no file name can put a line break or a
// terminal command into it.
std::string Quoted(const std::filesystem::path& file) { return "\"" + EscapeControlBytes(file.native()) + "\""; }

[[noreturn]] void Fail(std::string_view action, const std::filesystem::path& file, std::string_view reason) {
    throw EKovraNMEAException("Cannot " + std::string(action) + " " + Quoted(file) + ": " + std::string(reason) +
                              ".");
}

[[noreturn]] void FailWithErrno(std::string_view action, const std::filesystem::path& file, int error) {
    Fail(action, file, std::strerror(error));
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Refuses anything that exists and is not a regular file.
void RequireRegular(std::string_view action, const std::filesystem::path& file, const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        Fail(action, file, std::string("it is ") + KindOf(info.st_mode) + ", not a regular file");
    }
}

// stat() of the target; false when it does not exist.
bool StatTarget(std::string_view action, const std::filesystem::path& file, struct stat& info) {
    if (::stat(file.c_str(), &info) == 0) {
        return true;
    }
    if (errno == ENOENT) {
        return false;
    }
    FailWithErrno(action, file, errno);
}

// The file a save replaces: the target of a symbolic link (followed link by
// link, so that a link to a file not there yet is kept too), so the link stays.
std::filesystem::path ResolveTarget(const std::filesystem::path& file) {
    constexpr int kMaxLinks = 40;  // as the kernel allows, before ELOOP
    std::filesystem::path target = file;
    for (int hop = 0;; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(target, error)) {
            return target;
        }
        if (hop == kMaxLinks) {
            FailWithErrno("save", file, ELOOP);
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) {
            FailWithErrno("save", file, error.value());
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
}

void WriteAll(int fd, std::string_view text, const std::filesystem::path& file) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            FailWithErrno("save", file, written < 0 ? errno : EIO);
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

// A new file beside the target, removed again unless the save went through.
class TemporaryFile {
public:
    // Created with mode 0666, so the umask applies as to any program's output.
    TemporaryFile(const std::filesystem::path& directory, const std::filesystem::path& target) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100 && !fd_.Valid(); ++attempt) {
            path_ = (directory / ("." + target.filename().string() + "." + std::to_string(random() % 1'000'000'000) +
                                  ".tmp"))
                        .string();
            fd_ = FileDescriptor(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
            if (!fd_.Valid() && errno != EEXIST) {
                break;
            }
        }
        if (!fd_.Valid()) {
            const int error = errno;
            path_.clear();
            FailWithErrno("save", target, error);
        }
    }
    ~TemporaryFile() {
        if (!path_.empty()) {
            (void)::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Fd() const { return fd_.Get(); }
    bool Close() { return fd_.Close(); }
    const std::string& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    FileDescriptor fd_;
    std::string path_;
};

// The replaced file's owner and group where the process may set them, and
// its mode without the set-user-ID and set-group-ID bits.
void TakeOver(int fd, const struct stat& old, const std::filesystem::path& file) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);  // a member of the group may still keep it
    }
    if (::fchmod(fd, old.st_mode & 01777) != 0) {
        FailWithErrno("save", file, errno);
    }
}

}  // namespace

std::optional<std::string> ReadDataFile(const std::filesystem::path& file) {
    constexpr std::string_view kRead = "read";
    struct stat info {};
    // Look before opening: opening a device or a FIFO can block or act on the line.
    if (!StatTarget(kRead, file, info)) {
        return std::nullopt;
    }
    RequireRegular(kRead, file, info);
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        FailWithErrno(kRead, file, errno);
    }
    if (::fstat(fd.Get(), &info) != 0) {
        FailWithErrno(kRead, file, errno);
    }
    RequireRegular(kRead, file, info);
    const auto tooLarge = [&] { Fail(kRead, file, "it is larger than 64 MiB"); };
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxDataFileSize) {
        tooLarge();
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            FailWithErrno(kRead, file, errno);
        }
        if (n == 0) {
            return text;
        }
        if (text.size() + static_cast<std::size_t>(n) > kMaxDataFileSize) {
            tooLarge();  // it grew while being read
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

void ReplaceDataFile(const std::filesystem::path& file, std::string_view text) {
    constexpr std::string_view kSave = "save";
    const std::filesystem::path target = ResolveTarget(file);
    if (target.filename().empty()) {
        FailWithErrno(kSave, file, EISDIR);
    }
    struct stat old {};
    const bool replacing = StatTarget(kSave, target, old);
    if (replacing) {
        RequireRegular(kSave, file, old);
    }
    const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
    TemporaryFile temporary(directory, target);
    if (replacing) {
        TakeOver(temporary.Fd(), old, file);
    }
    WriteAll(temporary.Fd(), text, file);
    if (::fsync(temporary.Fd()) != 0) {
        FailWithErrno(kSave, file, errno);
    }
    if (!temporary.Close()) {
        FailWithErrno(kSave, file, errno);
    }
    // Something else may have taken the name meanwhile; never rename over it.
    struct stat now {};
    if (StatTarget(kSave, target, now)) {
        RequireRegular(kSave, file, now);
    }
    if (::rename(temporary.Path().c_str(), target.c_str()) != 0) {
        FailWithErrno(kSave, file, errno);
    }
    temporary.Keep();
    // Make the rename itself durable; the file is complete either way.
    FileDescriptor directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.Valid()) {
        (void)::fsync(directoryFd.Get());
    }
}

void RemoveDataFile(const std::filesystem::path& file) {
    constexpr std::string_view kSave = "save";
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return;
        }
        FailWithErrno(kSave, file, errno);
    }
    if (S_ISLNK(info.st_mode) && StatTarget(kSave, file, info)) {
        RequireRegular(kSave, file, info);  // a link to a regular file goes; a link to a device stays
    } else if (!S_ISLNK(info.st_mode)) {
        RequireRegular(kSave, file, info);
    }
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        FailWithErrno(kSave, file, errno);
    }
}

}  // namespace kovra
