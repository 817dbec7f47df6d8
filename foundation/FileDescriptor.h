// A move-only owner of a POSIX file descriptor; a moved-from owner holds -1.
#pragma once

#include <unistd.h>

#include <utility>

namespace kovra {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { (void)Close(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            (void)Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Closes the descriptor; false when the platform reported an error.
    bool Close() {
        if (fd_ < 0) {
            return true;
        }
        // After close() the descriptor is released even when it reports an
        // error (Linux), so it is never closed twice.
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0;
    }

private:
    int fd_ = -1;
};

}  // namespace kovra
