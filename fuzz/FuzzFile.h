// Hands a fuzz input to a loader through a real file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace kovra::fuzz {

inline std::string InputFile(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/kovra-fuzz-" + std::to_string(::getpid()) + ".ini";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size != 0 && std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    if (std::fclose(file) != 0) {
        std::abort();
    }
    return path;
}

}  // namespace kovra::fuzz
