// Hands a fuzz input to a loader through a real file: a private one made
// with mkstemp once per process (never a fixed name another user could
// plant), rewritten for every input and removed at exit.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kovra::fuzz {

class PrivateFile {
public:
    PrivateFile() {
        const char* directory = std::getenv("TMPDIR");
        path_ = std::string(directory != nullptr && *directory != '\0' ? directory : "/tmp") + "/kovra-fuzz-XXXXXX";
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) {
            std::perror("mkstemp");
            std::abort();
        }
    }
    ~PrivateFile() {
        (void)::close(fd_);
        (void)::unlink(path_.c_str());
    }
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    // Makes `data` the whole content of the file and returns its name.
    const std::string& Hold(const std::uint8_t* data, std::size_t size) {
        if (::ftruncate(fd_, 0) != 0) {
            std::abort();
        }
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) {
                std::abort();
            }
            done += static_cast<std::size_t>(n);
        }
        return path_;
    }

private:
    std::string path_;
    int fd_ = -1;
};

inline std::string InputFile(const std::uint8_t* data, std::size_t size) {
    static PrivateFile file;
    return file.Hold(data, size);
}

}  // namespace kovra::fuzz
