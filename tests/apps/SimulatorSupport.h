// Helpers shared by the end-to-end tests of the simulator: sentences of a
// stream, TCP clients on loopback.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <cstdio>

#include "foundation/FileDescriptor.h"

namespace kovra::test {

using namespace std::chrono_literals;

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

inline std::vector<std::string> Kind(const std::string& text, const std::string& head) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(text)) {
        if (line.rfind(head, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

inline std::string Field(const std::string& sentence, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = sentence.find(',', start) + 1;
    }
    return sentence.substr(start, sentence.find_first_of(",*", start) - start);
}

// A line that starts with "$" and ends with its own checksum.
inline bool ChecksumRight(const std::string& line) {
    const std::size_t star = line.rfind('*');
    if (line.size() < 4 || line[0] != '$' || star == std::string::npos || star + 3 > line.size()) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) {
        sum ^= static_cast<unsigned char>(line[i]);
    }
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    return line.compare(star + 1, 2, hex) == 0;
}

// 127.0.0.1:port (0: any port).
inline sockaddr_in Loopback(int port = 0) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

inline int ConnectTcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        std::this_thread::sleep_for(20ms);
    }
    ::close(fd);
    return -1;
}

// A port nobody listens on at the moment.
inline int FreePort() {
    FileDescriptor probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

}  // namespace kovra::test
