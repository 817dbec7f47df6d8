// The ten sentence kinds, each built by a pure function from a snapshot of
// the navigation state and one decoded UTC instant. The builders append to
// the caller's buffer; each sentence is closed by CloseSentence.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/DateTime.h"
#include "foundation/Types.h"
#include "foundation/Export.h"
#include "foundation/Position.h"

namespace kovra::nmea {

struct SatelliteView {
    std::uint16_t prn;
    std::int32_t elevation;
    std::int32_t azimuth;
    std::int32_t snr;
};

// The active route as its sentences see it: the route's names, and the
// waypoint each name stands for where the waypoint list has one.
struct RouteView {
    struct WayPoint {
        std::string_view listed;  // the name as the route lists it
        std::string_view name;    // the waypoint's own name
        GeoPosition position;
    };
    std::string_view name;
    std::span<const std::string> names;
    std::vector<WayPoint> wayPoints;  // in route order; names without a waypoint are left out
};

// Everything the sentences read. The names of the route view are borrowed
// and must not change while a sentence is built.
struct NavigationSnapshot {
    GeoPosition position;
    Extended speed = 0;             // knots
    Extended heading = 0;           // degrees true
    Extended magneticHeading = 0;   // degrees magnetic
    Extended magneticVariation = 0;
    TCardinalPoint magneticVariationDirection = TCardinalPoint::cpWest;
    Extended altitude = 0;          // metres
    Extended geoHeight = 0;         // metres
    Extended pdop = 0;
    Extended hdop = 0;
    Extended vdop = 0;
    std::int32_t fixQuality = 0;
    // Active satellites in ascending PRN order.
    std::array<SatelliteView, 32> activeSatellites;  // the first activeCount are set
    int activeCount = 0;
    std::optional<RouteView> route;  // none while no route is active
};

KOVRA_API void AppendGPZDA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc);
KOVRA_API void AppendGPGGA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc);
KOVRA_API void AppendGPGLL(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc);
KOVRA_API void AppendGPVTG(std::string& out, const NavigationSnapshot& s);
KOVRA_API void AppendGPRMC(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc);
KOVRA_API void AppendGPGSA(std::string& out, const NavigationSnapshot& s);
KOVRA_API void AppendGPGSV(std::string& out, const NavigationSnapshot& s);
KOVRA_API void AppendGPWPL(std::string& out, const NavigationSnapshot& s);
KOVRA_API void AppendGPRTE(std::string& out, const NavigationSnapshot& s);
KOVRA_API void AppendGPAAM(std::string& out, const NavigationSnapshot& s);

// Every kind that `commands` selects, in the order ZDA, GGA, GLL, VTG, RMC,
// GSA, GSV, WPL, RTE, AAM, all at the one instant `utc`.
KOVRA_API void AppendNMEA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc,
                          TNMEACommands commands);

// A name as a sentence field, with NMEA 0183's own escape: the reserved
// characters $ * , ! \ ^ ~, every control byte, DEL and every byte above 127
// become "^" and two upper-case hex digits, so no name can end, split or
// forge a sentence. Needs room for three bytes per character.
KOVRA_API char* PutName(char* p, std::string_view name);

// Distance from the current position to a waypoint, in nautical miles.
KOVRA_API Extended DistanceNauticalMiles(const GeoPosition& from, const GeoPosition& to);

}  // namespace kovra::nmea
