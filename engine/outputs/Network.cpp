#include "engine/outputs/Network.h"

#include <netdb.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

#include "engine/run/Errors.h"

namespace kovra::engine {

std::vector<Endpoint> ResolveEndpoint(const std::string& text, int socketType) {
    std::string host, port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            throw SettingError("malformed address " + QuotedValue(text) + " (expected [ADDRESS]:PORT)");
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || colon == 0 || text.find(':') != colon) {
            throw SettingError("malformed address " + QuotedValue(text) +
                               " (expected HOST:PORT, or [ADDRESS]:PORT for IPv6)");
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    char* end = nullptr;
    const long number = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || number < 1 || number > 65535) {
        throw SettingError("port " + QuotedValue(port) + " is not from 1 to 65535");
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = socketType;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); error != 0) {
        throw SettingError("cannot resolve " + QuotedValue(host) + ": " + ::gai_strerror(error));
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);
    std::vector<Endpoint> endpoints;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        Endpoint e;
        std::memcpy(&e.address, a->ai_addr, a->ai_addrlen);
        e.length = static_cast<socklen_t>(a->ai_addrlen);
        e.text = text;
        endpoints.push_back(e);
    }
    return endpoints;
}

bool IsMulticast(const Endpoint& endpoint) {
    if (endpoint.address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&endpoint.address);
        return (ntohl(v4->sin_addr.s_addr) >> 28) == 0xE;
    }
    if (endpoint.address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&endpoint.address);
        return v6->sin6_addr.s6_addr[0] == 0xFF;
    }
    return false;
}

}  // namespace kovra::engine
