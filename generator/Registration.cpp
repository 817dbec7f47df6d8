#include "generator/Registration.h"

#include <array>
#include <cstring>

#include "generator/KovraNMEAGenerator.h"
#include "foundation/Text.h"

namespace kovra {

namespace {

constexpr std::string_view kPalettePage = "Kovraworks";
constexpr int kSide = 16;
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kPaletteSize = 256 * 4;
constexpr std::size_t kBitmapSize = kHeaderSize + kPaletteSize + kSide * kSide;

template <std::size_t N>
constexpr void PutLittleEndian(std::array<std::uint8_t, N>& bytes, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// Colour index of a pixel: a green disc (a satellite seen from above) on a
// white ground, crossed by two dark lines (its solar panels).
constexpr std::uint8_t PixelAt(int x, int y) {
    const int dx = 2 * x - (kSide - 1), dy = 2 * y - (kSide - 1);
    if (y == kSide / 2 && (x < 4 || x > 11)) {
        return 2;  // panels
    }
    return dx * dx + dy * dy <= 64 ? 1 : 0;
}

constexpr std::array<std::uint8_t, kBitmapSize> MakePaletteBitmap() {
    std::array<std::uint8_t, kBitmapSize> bytes{};
    PutLittleEndian(bytes, 0, kHeaderSize, 4);  // biSize
    PutLittleEndian(bytes, 4, kSide, 4);        // biWidth
    PutLittleEndian(bytes, 8, kSide, 4);        // biHeight: rows bottom-up
    PutLittleEndian(bytes, 12, 1, 2);           // biPlanes
    PutLittleEndian(bytes, 14, 8, 2);           // biBitCount
    PutLittleEndian(bytes, 20, kSide * kSide, 4);
    PutLittleEndian(bytes, 32, 256, 4);         // biClrUsed
    // Colour table (blue, green, red, 0): white, green, dark grey, then black.
    const std::uint32_t colours[] = {0xFFFFFF, 0x008000, 0x404040};
    for (std::size_t i = 0; i < 3; ++i) {
        PutLittleEndian(bytes, kHeaderSize + 4 * i, colours[i], 4);
    }
    for (int row = 0; row < kSide; ++row) {
        for (int x = 0; x < kSide; ++x) {
            bytes[kHeaderSize + kPaletteSize + static_cast<std::size_t>(row * kSide + x)] =
                PixelAt(x, kSide - 1 - row);
        }
    }
    return bytes;
}

constexpr std::array<std::uint8_t, kBitmapSize> kPaletteBitmap = MakePaletteBitmap();

const TComponentClass kClasses[] = {
    {"TKovraNMEAGenerator", [] { return std::unique_ptr<TComponent>(TKovraNMEAGenerator::Create()); }},
};

}  // namespace

}  // namespace kovra

void Register(kovra::TRegisterComponentsProc RegisterComponents, void* Context) {
    if (RegisterComponents != nullptr) {
        RegisterComponents(kovra::ToMessage(kovra::kPalettePage), std::span<const kovra::TComponentClass>(kovra::kClasses),
                           Context);
    }
}

bool KovraFindResource(const char* Name, const std::uint8_t** Data, std::size_t* Size) {
    using kovra::kProfile;
    if (Name == nullptr || Data == nullptr || Size == nullptr) {
        return false;
    }
    const std::string_view name(Name);
    std::string_view found;
    if (name == "TKOVRANMEAGENERATOR") {
        found = {reinterpret_cast<const char*>(kovra::kPaletteBitmap.data()), kovra::kPaletteBitmap.size()};
    } else if (name == "DESCRIPTION") {
        found = kProfile.description;
    } else if (name == "PRODUCTVERSION") {
        found = kProfile.productVersion;
    } else {
        return false;
    }
    *Data = reinterpret_cast<const std::uint8_t*>(found.data());
    *Size = found.size();
    return true;
}
