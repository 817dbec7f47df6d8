// UDP: one datagram a sentence (or UBX frame), or one an update split at
// sentence boundaries. Chart plotters listen on 10110 by convention. A datagram the
// socket cannot take at once is left out; a destination that cannot be
// reached is told once and the stream goes on.
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/outputs/Network.h"
#include "engine/outputs/Outputs.h"

namespace kovra::engine {

namespace {

constexpr std::size_t kMaxDatagram = 1472;  // an Ethernet frame's payload less the IPv4 and UDP headers

class UdpOutput final : public Output {
public:
    UdpOutput(const std::string& destination, const UdpSettings& settings, Notify notify)
        : batch_(settings.batch), notify_(std::move(notify)) {
        const Endpoint to =
            ResolveEndpoint(settings.broadcast ? "255.255.255.255:" + destination : destination, SOCK_DGRAM).front();
        where_ = "udp://" + to.text;
        socket_ = FileDescriptor(::socket(to.address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!socket_.Valid()) {
            throw OutputError(SystemError("cannot open a socket for " + where_));
        }
        const int yes = 1, hops = settings.ttl;
        bool set = true;
        if (to.address.ss_family == AF_INET) {
            // A subnet's broadcast address (192.168.1.255) is only an address: nothing tells it apart.
            set = ::setsockopt(socket_.Get(), SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes) == 0;
        }
        if (IsMulticast(to) && to.address.ss_family == AF_INET) {
            set = ::setsockopt(socket_.Get(), IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) == 0;
        } else if (IsMulticast(to)) {
            set = ::setsockopt(socket_.Get(), IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops) == 0;
        }
        if (!set) {
            throw OutputError(SystemError("cannot send to " + where_));
        }
        to_ = to;
        // Connected, so that an unreachable port comes back as an error to tell.
        // Without a route yet (a network not up) it is tried again every update.
        if (!Connect() && !NoRouteYet(errno)) {
            throw OutputError(SystemError("cannot send to " + where_));
        }
        notify_("sending NMEA to " + where_);
        if (!connected_) {
            Warn();
        }
    }

    void Write(std::string_view update) override {
        std::size_t start = 0;
        while (start < update.size()) {
            std::size_t end = PieceEnd(update, start);
            if (batch_) {
                // As many whole sentences as fit one datagram.
                for (std::size_t next = end; next < update.size(); next = PieceEnd(update, next)) {
                    if (PieceEnd(update, next) - start > kMaxDatagram) {
                        break;
                    }
                    end = PieceEnd(update, next);
                }
            }
            Send(update.substr(start, end - start));
            start = end;
        }
    }

private:

    static bool NoRouteYet(int error) {
        return error == ENETUNREACH || error == EHOSTUNREACH || error == ENETDOWN || error == EADDRNOTAVAIL;
    }

    bool Connect() {
        connected_ = ::connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&to_.address), to_.length) == 0;
        return connected_;
    }

    // Told once; a network that was not there is told again when it comes back.
    void Warn() {
        noRoute_ = NoRouteYet(errno);
        if (!warned_) {
            warned_ = true;
            notify_("warning: " + where_ + ": " + std::strerror(errno) + " (the stream goes on; told once)");
        }
    }

    void Send(std::string_view datagram) {
        if (!connected_ && !Connect()) {
            return;  // still no route: left out
        }
        const ssize_t sent = ::send(socket_.Get(), datagram.data(), datagram.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            if (noRoute_) {
                noRoute_ = warned_ = false;
                notify_(where_ + " is reachable again; the stream goes on there");
            }
            return;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return;  // left out while the socket is full
        }
        Warn();
    }

    bool batch_;
    Notify notify_;
    FileDescriptor socket_;
    Endpoint to_;
    std::string where_;
    bool connected_ = false;
    bool warned_ = false;
    bool noRoute_ = false;  // what was warned of: no route to the destination
};

// A UDP port of the receiver's own that consumers send commands to; each
// answer goes back to the datagram's sender. It sends no stream.
class UdpListenerOutput final : public Output {
public:
    UdpListenerOutput(const std::string& where, const Notify& notify) {
        const Endpoint at = ResolveEndpoint(where, SOCK_DGRAM).front();
        socket_ = FileDescriptor(::socket(at.address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!socket_.Valid() || ::bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&at.address), at.length) != 0) {
            throw OutputError(SystemError("cannot listen on udp://" + at.text));
        }
        notify("listening for commands on udp://" + at.text);
    }

    void Write(std::string_view /*update*/) override {}
    void Watch(std::vector<pollfd>& waits) override { waits.push_back({socket_.Get(), POLLIN, 0}); }
    void Serve(std::span<const pollfd> ready) override {
        if (ready.empty() || (ready[0].revents & POLLIN) == 0) {
            return;
        }
        char datagram[65'536];
        for (std::size_t taken = 0; taken < kMostReadPerTurn;) {
            sockaddr_storage from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(socket_.Get(), datagram, sizeof datagram, MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return;  // all read (EAGAIN)
            }
            taken += static_cast<std::size_t>(n) + 1;
            const std::string answer =
                Heard(SenderOf(from, length), std::string_view(datagram, static_cast<std::size_t>(n))).bytes;
            if (!answer.empty()) {
                // Best effort, as UDP is: a sender gone is no error of ours.
                (void)::sendto(socket_.Get(), answer.data(), answer.size(), MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(&from), length);
            }
        }
    }

private:
    // The number a sender is known by; the longest silent is forgotten
    // beyond kSenders, so that memory stays bounded whoever sends.
    std::size_t SenderOf(const sockaddr_storage& from, socklen_t length) {
        static constexpr std::size_t kSenders = 64;
        const std::string key(reinterpret_cast<const char*>(&from), length);
        const auto known = std::find_if(senders_.begin(), senders_.end(), [&](const auto& s) { return s.first == key; });
        if (known != senders_.end()) {
            std::rotate(known, known + 1, senders_.end());  // the latest last
            return senders_.back().second;
        }
        if (senders_.size() == kSenders) {
            Gone(senders_.front().second);
            senders_.erase(senders_.begin());
        }
        senders_.emplace_back(key, ++seen_);
        return seen_;
    }

    FileDescriptor socket_;
    std::vector<std::pair<std::string, std::size_t>> senders_;
    std::size_t seen_ = 0;
};

}  // namespace

std::unique_ptr<Output> OpenUdpListener(const std::string& where, Notify notify) {
    return std::make_unique<UdpListenerOutput>(where, notify);
}

std::unique_ptr<Output> OpenUdpSender(const std::string& destination, const UdpSettings& settings, Notify notify) {
    return std::make_unique<UdpOutput>(destination, settings, std::move(notify));
}

}  // namespace kovra::engine
