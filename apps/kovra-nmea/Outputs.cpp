#include "Outputs.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

#include "host/FileDescriptor.h"
#include "serial/SerialDevice.h"

namespace kovra::app {

namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

class StandardOutput final : public Output {
public:
    void Write(std::string_view update) override {
        while (!update.empty()) {
            const ssize_t written = ::write(STDOUT_FILENO, update.data(), update.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0 && errno == EPIPE) {
                throw StreamClosed{};
            }
            if (written <= 0) {
                throw OutputError(SystemError("cannot write to standard output"));
            }
            update.remove_prefix(static_cast<std::size_t>(written));
        }
    }
};

class SerialOutput final : public Output {
public:
    SerialOutput(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded)
        : gps_(gps), threaded_(threaded), baud_(baud) {
        if (!gps_.Connect(port, baud)) {
            throw OutputError("cannot open serial port '" + port + "' (" + SerialDevicePath(port) +
                              "): missing, held by another program, or not a device");
        }
        if (gps_.GetBaudRate() != baud) {
            gps_.Disconnect();
            throw OutputError("serial port '" + port + "' refuses " + std::to_string(baud) + " baud");
        }
    }
    ~SerialOutput() override { gps_.Disconnect(); }

    void Write(std::string_view update) override {
        lastSize_ = update.size();
        if (threaded_) {
            gps_.SendOnNewThread(std::string(update));
            return;
        }
        if (gps_.Send(update) < update.size() && !warnedShort_) {
            warnedShort_ = true;
            std::cerr << "kovra-nmea: warning: the serial line did not take a whole update in time\n";
        }
    }

    void Finish() override {
        // The sender thread writes within 50 ms; then the write itself may take
        // its time-out of 100 ms + 3 ms per byte.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300 + 3 * lastSize_);
        while (threaded_ && gps_.IsSendPending() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Disconnecting discards what the line has not sent yet: give it the
        // time the last update takes at 10 bits a byte.
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 10'000 * lastSize_ / static_cast<std::size_t>(baud_)));
        gps_.Disconnect();
    }

private:
    TKovraNMEAGenerator& gps_;
    bool threaded_;
    int baud_;
    bool warnedShort_ = false;
    std::size_t lastSize_ = 0;
};

// Updates reach a consumer only while one holds the other end; in between
// they are dropped, so nothing arrives late in a burst.
class PseudoTerminalOutput final : public Output {
public:
    explicit PseudoTerminalOutput(const std::optional<std::string>& link)
        : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        char path[128];
        if (!master_.Valid() || ::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0 ||
            ::ptsname_r(master_.Get(), path, sizeof path) != 0) {
            throw OutputError(SystemError("cannot create a pseudo-terminal"));
        }
        termios raw{};
        if (::tcgetattr(master_.Get(), &raw) != 0) {
            throw OutputError(SystemError("cannot read the pseudo-terminal's settings"));
        }
        ::cfmakeraw(&raw);  // consumers see CR LF as sent
        if (::tcsetattr(master_.Get(), TCSANOW, &raw) != 0) {
            throw OutputError(SystemError("cannot make the pseudo-terminal raw"));
        }
        // The master reports a hang-up while no consumer holds the other end,
        // but only once that end has been opened and closed; do so now.
        FileDescriptor once(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!once.Valid() || !once.Close()) {
            throw OutputError(SystemError(std::string("cannot open ") + path));
        }
        if (link) {
            struct stat info {};
            if (::lstat(link->c_str(), &info) == 0) {
                if (!S_ISLNK(info.st_mode)) {
                    throw OutputError("cannot create link '" + *link + "': a file of that name exists");
                }
                (void)::unlink(link->c_str());  // a stale link from an earlier run
            }
            if (::symlink(path, link->c_str()) != 0) {
                throw OutputError(SystemError("cannot create link '" + *link + "'"));
            }
            link_ = *link;
        }
        std::cerr << "kovra-nmea: NMEA stream on " + std::string(path) + (link ? " (linked as " + *link + ")" : "") +
                         "\n";
    }

    ~PseudoTerminalOutput() override {
        if (!link_.empty()) {
            (void)::unlink(link_.c_str());
        }
    }

    void Write(std::string_view update) override {
        pollfd state{master_.Get(), POLLOUT, 0};
        const bool consumer = ::poll(&state, 1, 0) >= 0 && (state.revents & POLLHUP) == 0;
        if (consumer != hadConsumer_) {
            (void)::tcflush(master_.Get(), TCIOFLUSH);  // nothing stale for the next consumer
            hadConsumer_ = consumer;
        }
        if (!consumer) {
            return;
        }
        // Never block: what the consumer's queue cannot take is dropped.
        while (!update.empty()) {
            const ssize_t written = ::write(master_.Get(), update.data(), update.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return;
            }
            update.remove_prefix(static_cast<std::size_t>(written));
        }
    }

private:
    FileDescriptor master_;
    std::string link_;
    bool hadConsumer_ = false;
};

class TcpOutput final : public Output {
public:
    TcpOutput(int port, const std::string& address) {
        if (port < 1 || port > 65535) {
            throw UsageError("--tcp port must be between 1 and 65535");
        }
        sockaddr_storage socketAddress{};
        socklen_t length = 0;
        auto* v4 = reinterpret_cast<sockaddr_in*>(&socketAddress);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&socketAddress);
        if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(static_cast<std::uint16_t>(port));
            length = sizeof *v4;
        } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(static_cast<std::uint16_t>(port));
            length = sizeof *v6;
        } else {
            throw UsageError("malformed address '" + address + "' for --bind");
        }
        listener_ = FileDescriptor(::socket(socketAddress.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        const int yes = 1;
        const std::string where = address + ":" + std::to_string(port);
        if (!listener_.Valid() || ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
            ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&socketAddress), length) != 0 ||
            ::listen(listener_.Get(), 16) != 0) {
            throw OutputError(SystemError("cannot listen on " + where));
        }
        std::cerr << "kovra-nmea: serving NMEA on tcp://" + where + "\n";  // one write, one line
    }

    void Write(std::string_view update) override {
        AcceptWaiting();
        for (auto client = clients_.begin(); client != clients_.end();) {
            // A client that has fallen this far behind misses updates instead
            // of holding up the others.
            if (client->pending.size() + update.size() <= kMaxBacklog) {
                client->pending.append(update);
            }
            client = Flush(*client) ? std::next(client) : clients_.erase(client);
        }
    }

private:
    static constexpr std::size_t kMaxBacklog = 64 * 1024;
    struct Client {
        FileDescriptor fd;
        std::string pending;
    };

    void AcceptWaiting() {
        for (;;) {
            FileDescriptor fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd.Valid()) {
                return;  // none waiting (EAGAIN), or a client that already gave up
            }
            const int yes = 1;
            (void)::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            clients_.push_back({std::move(fd), {}});
        }
    }

    // False when the client has gone.
    static bool Flush(Client& client) {
        while (!client.pending.empty()) {
            const ssize_t sent =
                ::send(client.fd.Get(), client.pending.data(), client.pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return true;
            }
            if (sent <= 0) {
                return false;
            }
            client.pending.erase(0, static_cast<std::size_t>(sent));
        }
        return true;
    }

    FileDescriptor listener_;
    std::vector<Client> clients_;
};

}  // namespace

std::unique_ptr<Output> OpenStandardOutput() { return std::make_unique<StandardOutput>(); }

std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded) {
    return std::make_unique<SerialOutput>(gps, port, baud, threaded);
}

std::unique_ptr<Output> OpenPseudoTerminal(const std::optional<std::string>& link) {
    return std::make_unique<PseudoTerminalOutput>(link);
}

std::unique_ptr<Output> OpenTcpServer(int port, const std::string& address) {
    return std::make_unique<TcpOutput>(port, address);
}

}  // namespace kovra::app
