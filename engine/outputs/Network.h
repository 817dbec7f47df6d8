// Network addresses as users write them: "HOST:PORT", "[v6]:PORT".
#pragma once

#include <sys/socket.h>

#include <string>
#include <vector>

namespace kovra::engine {

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    std::string text;  // as the user wrote it, for messages
};

// Resolves "HOST:PORT" (numeric addresses, or names the system resolves);
// SettingError when it is malformed or unknown.
std::vector<Endpoint> ResolveEndpoint(const std::string& text, int socketType);

// True for IPv4 224.0.0.0/4 and IPv6 ff00::/8.
bool IsMulticast(const Endpoint& endpoint);

}  // namespace kovra::engine
