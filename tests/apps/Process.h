// Runs the simulator as a child process for end-to-end tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace kovra::test {

// Which standard descriptors the child starts without.
struct Closed {
    bool output = false;
    bool error = false;
    std::string errorTerminal = {};  // a terminal to open as standard error instead
};

class Process {
public:
    explicit Process(const std::vector<std::string>& arguments, Closed closed = {}) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        if (closed.output) {
            posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
        }
        if (closed.error) {
            posix_spawn_file_actions_addclose(&actions, STDERR_FILENO);
        }
        if (!closed.errorTerminal.empty()) {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, closed.errorTerminal.c_str(), O_RDWR | O_NOCTTY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(KOVRA_NMEA_PROGRAM));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid_, KOVRA_NMEA_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (spawned != 0) {
            throw std::runtime_error("posix_spawn failed");
        }
    }
    ~Process() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(out_);
        ::close(err_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Reads standard output until `pattern` has appeared or the time is up.
    std::string ReadOutputUntil(const std::string& pattern, std::chrono::milliseconds limit) {
        ReadUntil(out_, output_, pattern, limit);
        return output_;
    }
    std::string ReadErrorUntil(const std::string& pattern, std::chrono::milliseconds limit) {
        ReadUntil(err_, error_, pattern, limit);
        return error_;
    }
    void Signal(int signal) { ::kill(pid_, signal); }

    // Waits for the exit without reading anything (a full pipe stays full);
    // the exit status, or none when the child is still running after `limit`.
    std::optional<int> ExitWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return std::nullopt;
            }
            ::usleep(5000);
        }
        return status_;
    }
    pid_t Pid() const { return pid_; }

    // Reads everything to the end and returns the exit status (-1 when killed).
    int Wait() {
        ReadUntil(out_, output_, "", std::chrono::seconds(60), true);
        ReadUntil(err_, error_, "", std::chrono::seconds(5), true);
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return status_;
    }
    const std::string& Output() const { return output_; }
    const std::string& Error() const { return error_; }

private:
    static void ReadUntil(int fd, std::string& text, const std::string& pattern, std::chrono::milliseconds limit,
                          bool toEnd = false) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        char buffer[4096];
        while (toEnd || pattern.empty() || text.find(pattern) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return;
            }
            pollfd request{fd, POLLIN, 0};
            if (::poll(&request, 1, static_cast<int>(left.count())) <= 0) {
                return;
            }
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
    std::string output_;
    std::string error_;
};

struct Result {
    int status;
    std::string output;
    std::string error;
};

// The arguments for the classic profile: the library's own sentences for
// exactly the state the options give.
inline std::vector<std::string> Classic(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--profile", "classic"});
    return arguments;
}

inline Result RunProgram(const std::vector<std::string>& arguments) {
    Process process(arguments);
    const int status = process.Wait();
    return {status, process.Output(), process.Error()};
}

}  // namespace kovra::test
