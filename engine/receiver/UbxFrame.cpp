#include "engine/receiver/UbxFrame.h"

namespace kovra::engine {

std::uint16_t UbxChecksum(std::string_view classToPayload) {
    std::uint8_t a = 0, b = 0;
    for (const char c : classToPayload) {
        a = static_cast<std::uint8_t>(a + static_cast<std::uint8_t>(c));
        b = static_cast<std::uint8_t>(b + a);
    }
    return static_cast<std::uint16_t>(a | (b << 8));
}

std::string UbxFrame(std::uint8_t messageClass, std::uint8_t id, std::string_view payload) {
    std::string frame = "\xB5\x62";
    frame += static_cast<char>(messageClass);
    frame += static_cast<char>(id);
    frame += static_cast<char>(payload.size() & 0xFF);
    frame += static_cast<char>((payload.size() >> 8) & 0xFF);
    frame += payload;
    const std::uint16_t sum = UbxChecksum(std::string_view(frame).substr(2));
    frame += static_cast<char>(sum & 0xFF);
    frame += static_cast<char>(sum >> 8);
    return frame;
}

std::uint32_t ReadLe(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size && at + i < bytes.size(); ++i) {
        value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
    }
    return value;
}

void PutLe(std::string& out, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace kovra::engine
