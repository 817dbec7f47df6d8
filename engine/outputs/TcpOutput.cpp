// A TCP server: every client gets the stream. Connections are accepted as
// they arrive (the run waits on the listener between updates); a client that
// falls behind misses updates instead of holding up the others; at most
// maxClients are served. When they are all there, a newcomer takes the
// place of a client that has taken nothing for a while; otherwise it is
// closed at once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cerrno>

#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

constexpr std::size_t kMinBacklog = 64 * 1024;

class TcpOutput final : public Output {
public:
    TcpOutput(int port, const std::string& address, int maxClients, double idleSeconds, const Notify& notify)
        : maxClients_(maxClients),
          idleLimit_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(idleSeconds))) {
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
            throw SettingError("malformed address " + QuotedValue(address) + " to listen on");
        }
        listener_ = FileDescriptor(::socket(socketAddress.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        const int yes = 1;
        const std::string where = address + ":" + std::to_string(port);
        if (!listener_.Valid() || ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
            ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&socketAddress), length) != 0 ||
            ::listen(listener_.Get(), SOMAXCONN) != 0) {
            throw OutputError(SystemError("cannot listen on " + where));
        }
        notify("serving NMEA on tcp://" + where);
    }

    void Write(std::string_view update) override {
        Accept();
        // Room for two whole updates at least, so a client that keeps up
        // always gets each update whole, however large.
        const std::size_t backlog = std::max(kMinBacklog, 2 * update.size());
        for (Client& client : clients_) {
            if (client.pending.size() + update.size() <= backlog) {
                client.pending.append(update);
            }
        }
        std::erase_if(clients_, [this](Client& client) {
            const bool gone = !Flush(client);
            if (gone) {
                Gone(client.id);
            }
            return gone;
        });
    }

    void Watch(std::vector<pollfd>& waits) override {
        waits.push_back({listener_.Get(), POLLIN, 0});
        for (const Client& client : clients_) {
            waits.push_back({client.fd.Get(), static_cast<short>(POLLIN | (client.pending.empty() ? 0 : POLLOUT)), 0});
        }
        watched_ = clients_.size();
    }

    void Serve(std::span<const pollfd> ready) override {
        // ready[0] is the listener, then the clients watched, in order.
        std::size_t index = 0;
        std::erase_if(clients_, [&](Client& client) {
            const std::size_t i = index++;
            const short events = i < watched_ && i + 1 < ready.size() ? ready[i + 1].revents : 0;
            if ((events & (POLLERR | POLLNVAL)) != 0 || ((events & POLLIN) != 0 && !ReadFrom(client)) ||
                ((events & POLLHUP) != 0 && (events & POLLIN) == 0)) {
                Gone(client.id);
                return true;
            }
            if ((events & POLLOUT) != 0 && !Flush(client)) {
                Gone(client.id);
                return true;
            }
            return false;
        });
        if (!ready.empty() && ready[0].revents != 0) {
            Accept();
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Client {
        FileDescriptor fd;
        std::string pending;
        Clock::time_point lastTaken = Clock::now();  // when its end last took a byte (or it came)
        std::uint64_t sent = 0;                      // bytes handed to the socket
        std::uint64_t taken = 0;                     // of them, acknowledged by the other end
        std::size_t id = 0;                          // as the listener knows it
    };

    // What the client sent, a turn's worth at most, answered on its own
    // connection; false once it has closed its end.
    bool ReadFrom(Client& client) {
        char buffer[4096];
        for (std::size_t taken = 0; taken < kMostReadPerTurn;) {
            const ssize_t n = ::recv(client.fd.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n == 0) {
                return false;
            }
            if (n < 0) {
                return errno == EAGAIN || errno == EWOULDBLOCK;
            }
            taken += static_cast<std::size_t>(n);
            client.pending += Heard(client.id, std::string_view(buffer, static_cast<std::size_t>(n))).bytes;
        }
        return Flush(client);
    }

    // The client that has taken nothing for the longest, when that is long enough to give its place up.
    std::vector<Client>::iterator Idlest() {
        const auto idlest = std::min_element(clients_.begin(), clients_.end(), [](const Client& a, const Client& b) {
            return a.lastTaken < b.lastTaken;
        });
        return idlest != clients_.end() && Clock::now() - idlest->lastTaken >= idleLimit_ ? idlest : clients_.end();
    }

    void Accept() {
        for (;;) {
            FileDescriptor fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd.Valid()) {
                return;  // none waiting (EAGAIN), or a client that already gave up
            }
            if (clients_.size() >= static_cast<std::size_t>(maxClients_)) {
                const auto idlest = Idlest();
                if (idlest == clients_.end()) {
                    continue;  // refused: closed at once, so memory stays bounded
                }
                Gone(idlest->id);
                clients_.erase(idlest);  // it reads nothing: its place goes to one that may
            }
            const int yes = 1;
            (void)::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);  // a latency hint only
            clients_.push_back({std::move(fd), {}});
            clients_.back().id = ++clientsSeen_;
        }
    }

    // What the other end has acknowledged: a client that reads nothing fills
    // its window, and what it was sent stays in this socket's queue.
    static void Count(Client& client) {
        int queued = 0;
        if (::ioctl(client.fd.Get(), SIOCOUTQ, &queued) != 0) {
            return;  // unknown: the client counts as taking what it is sent
        }
        const std::uint64_t taken = client.sent - std::min<std::uint64_t>(client.sent, static_cast<std::uint64_t>(queued));
        if (taken > client.taken || (queued == 0 && client.pending.empty())) {
            client.lastTaken = Clock::now();
        }
        client.taken = taken;
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
                break;
            }
            if (sent <= 0) {
                return false;
            }
            client.pending.erase(0, static_cast<std::size_t>(sent));
            client.sent += static_cast<std::uint64_t>(sent);
        }
        Count(client);
        return true;
    }

    int maxClients_;
    Clock::duration idleLimit_;
    FileDescriptor listener_;
    std::vector<Client> clients_;
    std::size_t watched_ = 0;
    std::size_t clientsSeen_ = 0;
};

}  // namespace

std::unique_ptr<Output> OpenTcpServer(int port, const std::string& address, int maxClients, double idleSeconds,
                                      Notify notify) {
    return std::make_unique<TcpOutput>(port, address, maxClients, idleSeconds, notify);
}

}  // namespace kovra::engine
