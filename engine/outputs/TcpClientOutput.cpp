// A TCP client of a tracking back-end or a multiplexer: connects, sends the
// stream, and when the connection fails or drops tries again after 0.5 s,
// doubling up to 10 s. Nothing here ever waits: connecting and sending are
// non-blocking, and updates while disconnected are left out.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/outputs/Network.h"
#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFirstRetry = std::chrono::milliseconds(500);
constexpr auto kLongestRetry = std::chrono::seconds(10);
constexpr std::size_t kMinBacklog = 64 * 1024;

class TcpClientOutput final : public Output {
public:
    TcpClientOutput(const std::string& destination, bool verbose, Notify notify)
        : to_(ResolveEndpoint(destination, SOCK_STREAM).front()),
          where_("tcp://" + destination),
          verbose_(verbose),
          notify_(std::move(notify)) {
        notify_("sending NMEA to " + where_ + " (connecting)");
        Connect();
    }

    void Write(std::string_view update) override {
        Wake();
        if (state_ == State::Connecting) {
            pollfd ready{socket_.Get(), POLLOUT, 0};
            if (::poll(&ready, 1, 0) > 0) {
                Connected();
            }
        }
        if (state_ != State::Connected) {
            return;  // left out: the other outputs go on
        }
        if (pending_.size() + update.size() <= std::max(kMinBacklog, 2 * update.size())) {
            pending_.append(update);
        } else {
            ++leftOut_;  // the server reads more slowly than the updates come
        }
        Flush();
    }

    void Finish() override {
        if (leftOut_ > 0) {
            notify_("warning: " + where_ + ": " + std::to_string(leftOut_) +
                    (leftOut_ == 1 ? " update was" : " updates were") + " left out: the server read too slowly");
        }
    }

    void Watch(std::vector<pollfd>& waits) override {
        if (state_ == State::Connecting) {
            waits.push_back({socket_.Get(), POLLOUT, 0});
        } else if (state_ == State::Connected) {
            waits.push_back({socket_.Get(), static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0});
        }
    }

    void Serve(std::span<const pollfd> ready) override {
        if (ready.empty() || ready[0].revents == 0) {
            return;
        }
        if (state_ == State::Connecting) {
            Connected();
        } else if (state_ == State::Connected) {
            if ((ready[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                Lost("the server closed the connection");
                return;
            }
            if ((ready[0].revents & POLLIN) != 0 && !ReadInput()) {
                return;
            }
            Flush();
        }
    }

    Clock::time_point WakeAt() const override {
        return state_ == State::Waiting ? retryAt_ : Clock::time_point::max();
    }

    void Wake() override {
        if (state_ == State::Waiting && Clock::now() >= retryAt_) {
            Connect();
        }
    }

private:
    enum class State { Waiting, Connecting, Connected };

    void Connect() {
        socket_ = FileDescriptor(::socket(to_.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!socket_.Valid()) {
            Lost(std::strerror(errno));
            return;
        }
        if (::connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&to_.address), to_.length) == 0) {
            Connected();
        } else if (errno == EINPROGRESS || errno == EINTR) {
            state_ = State::Connecting;
        } else {
            Lost(std::strerror(errno));
        }
    }

    // What the server sends, a turn's worth at most, for whoever listens;
    // false once the connection is lost.
    bool ReadInput() {
        char buffer[4096];
        for (std::size_t taken = 0; taken < kMostReadPerTurn;) {
            const ssize_t n = ::recv(socket_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            }
            if (n <= 0) {
                Lost(n == 0 ? "the server closed the connection" : std::strerror(errno));
                return false;
            }
            taken += static_cast<std::size_t>(n);
            pending_ += Heard(connection_, std::string_view(buffer, static_cast<std::size_t>(n))).bytes;
        }
        return true;
    }

    void Connected() {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            Lost(std::strerror(error != 0 ? error : errno));
            return;
        }
        const int yes = 1;
        (void)::setsockopt(socket_.Get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);  // a latency hint only
        state_ = State::Connected;
        ++connection_;
        delay_ = kFirstRetry;
        pending_.clear();
        if (verbose_ && inOutage_) {
            notify_(where_ + ": connected again");
        }
        inOutage_ = false;
    }

    void Lost(const std::string& reason) {
        (void)socket_.Close();  // the connection is given up either way
        if (state_ == State::Connected) {
            Gone(connection_);
        }
        pending_.clear();
        state_ = State::Waiting;
        retryAt_ = Clock::now() + delay_;
        if (verbose_ && !inOutage_) {
            notify_(where_ + ": " + reason + "; trying again, every 0.5 s to 10 s");
        }
        inOutage_ = true;
        delay_ = std::min<Clock::duration>(delay_ * 2, kLongestRetry);
    }

    void Flush() {
        while (!pending_.empty()) {
            const ssize_t sent = ::send(socket_.Get(), pending_.data(), pending_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            if (sent <= 0) {
                Lost(std::strerror(errno));
                return;
            }
            pending_.erase(0, static_cast<std::size_t>(sent));
        }
    }

    Endpoint to_;
    std::string where_;
    bool verbose_;
    Notify notify_;
    FileDescriptor socket_;
    State state_ = State::Waiting;
    Clock::duration delay_ = kFirstRetry;
    Clock::time_point retryAt_;
    bool inOutage_ = false;
    std::string pending_;
    std::uint64_t leftOut_ = 0;
    std::size_t connection_ = 0;  // as the listener knows it: one a connection
};

}  // namespace

std::unique_ptr<Output> OpenTcpClient(const std::string& destination, bool verbose, Notify notify) {
    return std::make_unique<TcpClientOutput>(destination, verbose, std::move(notify));
}

}  // namespace kovra::engine
