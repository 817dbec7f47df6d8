// Standard output: written without ever blocking past a stop. A pipe, FIFO
// or terminal is opened again as a description of our own, so it can be made
// non-blocking without changing it for the shell or the other processes
// that share it.
#include <fcntl.h>
#include <limits.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

class StandardOutput final : public Output {
public:
    explicit StandardOutput(const Stop& stop) : stop_(stop) {
        struct stat info {};
        if (::fstat(STDOUT_FILENO, &info) != 0) {
            throw OutputError(SystemError("cannot use standard output"));
        }
        socket_ = S_ISSOCK(info.st_mode);
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
            own_ = FileDescriptor(::open("/proc/self/fd/1", O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
            // Without /proc, wait for room before each write and write at most
            // what a pipe takes at once.
            waitFirst_ = !own_.Valid();
        }
        fd_ = own_.Valid() ? own_.Get() : STDOUT_FILENO;
    }

    void Write(std::string_view update) override {
        while (!update.empty() && !stop_.Requested()) {  // a stop during a write is not an error
            if (waitFirst_ && !WaitForRoom()) {
                return;
            }
            const std::size_t chunk = waitFirst_ ? std::min<std::size_t>(update.size(), PIPE_BUF) : update.size();
            const ssize_t written = socket_ ? ::send(fd_, update.data(), chunk, MSG_DONTWAIT | MSG_NOSIGNAL)
                                            : ::write(fd_, update.data(), chunk);
            if (written > 0) {
                update.remove_prefix(static_cast<std::size_t>(written));
            } else if (written < 0 && errno == EPIPE) {
                throw StreamClosed{};
            } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!WaitForRoom()) {
                    return;
                }
            } else if (!(written < 0 && errno == EINTR)) {
                throw OutputError(SystemError("cannot write to standard output"));
            }
        }
    }

private:
    // False when a stop came first.
    bool WaitForRoom() const {
        pollfd waits[] = {{fd_, POLLOUT, 0}, {stop_.Descriptor(), POLLIN, 0}};
        while (::poll(waits, 2, -1) < 0) {
            if (errno != EINTR) {
                throw OutputError(SystemError("cannot wait for standard output"));
            }
        }
        return waits[1].revents == 0;
    }

    const Stop& stop_;
    FileDescriptor own_;
    int fd_ = STDOUT_FILENO;
    bool socket_ = false;
    bool waitFirst_ = false;
};

}  // namespace

std::unique_ptr<Output> OpenStandardOutput(const Stop& stop) { return std::make_unique<StandardOutput>(stop); }

}  // namespace kovra::engine
