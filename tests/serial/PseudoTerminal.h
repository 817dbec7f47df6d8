// A pseudo-terminal pair for serial tests: the generator opens the slave by
// its path, the test reads (or does not read) the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>

#include "foundation/FileDescriptor.h"

namespace kovra::test {

class PseudoTerminal {
public:
    PseudoTerminal() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (!master_.Valid() || grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0) {
            throw std::runtime_error("cannot create a pseudo-terminal");
        }
        char name[128];
        if (ptsname_r(master_.Get(), name, sizeof name) != 0) {
            throw std::runtime_error("ptsname_r failed");
        }
        slavePath_ = name;
        // Keep one slave descriptor open in raw mode so that the master never
        // reads EIO between the generator's opens, and nothing is translated.
        keeper_ = FileDescriptor(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        termios raw{};
        if (!keeper_.Valid() || tcgetattr(keeper_.Get(), &raw) != 0) {
            throw std::runtime_error("cannot open the pseudo-terminal's slave");
        }
        cfmakeraw(&raw);
        if (tcsetattr(keeper_.Get(), TCSANOW, &raw) != 0) {
            throw std::runtime_error("tcsetattr on the slave failed");
        }
    }

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_.Get(); }

    // Reads what has arrived: until `expected` bytes, or until nothing more
    // comes for `quiet`.
    std::string Read(std::size_t expected = SIZE_MAX,
                     std::chrono::milliseconds quiet = std::chrono::milliseconds(300)) const {
        std::string data;
        char buffer[4096];
        while (data.size() < expected) {
            pollfd request{master_.Get(), POLLIN, 0};
            const int ready = ::poll(&request, 1, static_cast<int>(quiet.count()));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                break;
            }
            const ssize_t n = ::read(master_.Get(), buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            data.append(buffer, static_cast<std::size_t>(n));
        }
        return data;
    }

    // The far end goes away: writes to the slave then fail with EIO.
    void CloseMaster() {
        (void)master_.Close();
        (void)keeper_.Close();
    }

    termios SlaveSettings() const {
        termios settings{};
        if (tcgetattr(keeper_.Get(), &settings) != 0) {
            throw std::runtime_error("tcgetattr failed");
        }
        return settings;
    }

private:
    FileDescriptor master_;
    FileDescriptor keeper_;
    std::string slavePath_;
};

}  // namespace kovra::test
