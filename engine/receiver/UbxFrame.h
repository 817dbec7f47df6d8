// UBX, u-blox's binary protocol, framed: sync, class, id, little-endian
// length, payload and Fletcher's checksum; and the payload's little-endian
// fields. One place frames every UBX message, as one frames every sentence.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kovra::engine {

// Fletcher's 8-bit sums over class, id, length and payload.
std::uint16_t UbxChecksum(std::string_view classToPayload);
std::string UbxFrame(std::uint8_t messageClass, std::uint8_t id, std::string_view payload);

std::uint32_t ReadLe(std::string_view bytes, std::size_t at, std::size_t size);
void PutLe(std::string& out, std::uint64_t value, std::size_t size);

}  // namespace kovra::engine
