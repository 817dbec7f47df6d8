// GPX 1.0 and 1.1, the exchange format of route planners and trackers:
// waypoints, routes and tracks read from a file (pugixml), and what the
// recording of a run writes of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/Errors.h"
#include "engine/scenario/IsoTime.h"
#include "engine/scenario/Motion.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

struct GpxPoint {
    std::string name;  // waypoints and route points; empty when the file gives none
    double lat = 0;    // degrees, south negative
    double lon = 0;    // degrees, west negative
    std::optional<double> elevation;  // metres
    std::optional<TDateTime> time;    // UTC
};

struct GpxRoute {
    std::string name;
    std::vector<GpxPoint> points;
};

// A track's segments, one after the other.
struct GpxTrack {
    std::string name;
    std::vector<GpxPoint> points;
};

struct Gpx {
    std::vector<GpxPoint> waypoints;
    std::vector<GpxRoute> routes;
    std::vector<GpxTrack> tracks;
};

// Reads GPX text: wpt, rte/rtept and trk/trkseg/trkpt with their name, ele
// and time; everything else is left aside. Throws SettingError as
// "SOURCE:LINE:COLUMN: what is wrong" for text that is not well-formed GPX.
Gpx ParseGpx(std::string_view text, std::string_view source);
// The same from a regular file.
Gpx LoadGpx(const std::string& path);


// Adds the file's waypoints and routes to the receiver. A route point
// without a waypoint of its name at its place becomes one; a name already
// taken by another place gets " (2)", " (3)" … Returns the names the routes
// were given, in file order.
std::vector<std::string> AddGpx(TKovraNMEAGenerator& gps, const Gpx& gpx);

}  // namespace kovra::engine
