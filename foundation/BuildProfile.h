// The differences between the three library generations, each stated once.
//
// Every generation is built from the same sources; the build selects a row of
// this table with KOVRA_BUILD_PROFILE (0 newest, 1 previous, 2 oldest), which
// the library's CMake target passes on to everything that links it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <type_traits>

namespace kovra {

struct BuildProfile {
    std::string_view generation;      // "newest", "previous", "oldest"
    std::string_view libraryName;     // file name stem of the shared library
    std::string_view description;     // the library's description text
    std::string_view productVersion;  // product version of the version record
    double version;                   // TKovraNMEAGenerator::Version()
    bool wideText;                    // messages and file names are UTF-16
    bool hasFixQuality;               // FixQuality property and fix-dependent fields
    bool hasGetSatellites;            // GetSatellites() copy of the table
    bool hasSatellitesProperty;       // read-only Satellites() property
    bool eastIsNegative;              // sign of east longitudes in decimal degrees
    bool longLivedSender;             // one polling sender thread per generator
};

inline constexpr std::array<BuildProfile, 3> kBuildProfiles{{
    {"newest", "KovraNMEAGenPack", "KovraNMEAGenPack", "1.6.2.0", 1.62,
     true, true, false, false, false, true},
    {"previous", "KovraNMEAGenPack", "KovraNMEAGenerator 1.60", "1.0.0.0", 1.6,
     true, true, true, true, false, true},
    {"oldest", "KovraNMEAGeneratorPack", "KovraNMEAGenerator 1.57", "1.0.0.0", 1.57,
     false, false, true, false, true, false},
}};

inline constexpr BuildProfile kProfile = kBuildProfiles.at(KOVRA_BUILD_PROFILE);

// Messages and exception texts.
using TMessageString = std::conditional_t<kProfile.wideText, std::u16string, std::string>;
// Names of the satellite, waypoint and route files.
using TFileName = std::conditional_t<kProfile.wideText, std::u16string, std::string>;

}  // namespace kovra
