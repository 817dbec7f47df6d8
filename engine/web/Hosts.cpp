// Which addresses and Host headers the live view answers to.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "engine/web/Hosts.h"

namespace kovra::engine {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsIpLiteral(const std::string& text, int family) {
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(family, text.c_str(), address) == 1;
}

}  // namespace

bool IsLoopback(std::string_view address) {
    std::string name = Lower(address);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    in_addr v4{};
    return name == "localhost" || name == "::1" || name == "::ffff:127.0.0.1" ||
           (::inet_pton(AF_INET, name.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127);
}

bool AcceptableHost(std::string_view host, std::string_view bound) {
    std::string name;
    std::string_view port;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        name = std::string(host.substr(1, close - 1));
        if (!IsIpLiteral(name, AF_INET6)) {
            return false;
        }
        port = host.substr(close + 1);
    } else {
        const std::size_t colon = host.find(':');
        name = Lower(host.substr(0, colon));
        port = colon == std::string_view::npos ? std::string_view() : host.substr(colon);
    }
    if (!port.empty()) {
        port.remove_prefix(1);  // the ':' before it
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
    }
    std::string own = Lower(bound);
    if (own.size() > 2 && own.front() == '[' && own.back() == ']') {
        own = own.substr(1, own.size() - 2);
    }
    return !name.empty() && (name == own || name == "localhost" || IsIpLiteral(name, AF_INET) ||
                             IsIpLiteral(name, AF_INET6));
}

}  // namespace kovra::engine
