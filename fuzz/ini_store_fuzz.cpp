// Any text parses without crashing; whatever the store writes, it reads back
// as the same sections, keys and values.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/Exception.h"
#include "files/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kovra::IniFile;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile parsed;
    try {
        parsed = IniFile::Parse(text);
    } catch (const kovra::EKovraNMEAException&) {
        return 0;  // not text
    }
    std::string written;
    try {
        written = parsed.Text();
    } catch (const kovra::EKovraNMEAException&) {
        return 0;  // holds what a file cannot
    }
    const IniFile again = IniFile::Parse(written);
    if (again.Text() != written || again.SectionNames() != parsed.SectionNames()) {
        std::abort();
    }
    for (const std::string& section : parsed.SectionNames()) {
        (void)again.ReadInteger(section, "Elevation", 0);
        (void)again.ReadFloat(section, "Latitude_Second", 0);
        (void)again.ReadBool(section, "Active", false);
    }
    return 0;
}
