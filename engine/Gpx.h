// GPX 1.0 and 1.1, the exchange format of route planners and trackers:
// waypoints, routes and tracks read from a file (pugixml), a track sailed
// at its recorded times, and the sailed run written back as GPX.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Motion.h"
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

// "2026-12-08T12:00:00Z", fractions and offsets allowed; none when malformed.
std::optional<TDateTime> ParseIsoTime(std::string_view text);
// "2026-12-08T12:00:00.000Z"
std::string IsoTime(TDateTime time);

// Adds the file's waypoints and routes to the receiver. A route point
// without a waypoint of its name at its place becomes one; a name already
// taken by another place gets " (2)", " (3)" … Returns the names the routes
// were given, in file order.
std::vector<std::string> AddGpx(TKovraNMEAGenerator& gps, const Gpx& gpx);

// A track sailed at its recorded times.
class TrackSailor {
public:
    // SettingError when the track has fewer than two points or a point
    // without a time, or when its times go back.
    TrackSailor(GpxTrack track, bool loop);

    TDateTime Start() const { return times_.front(); }
    // Seconds from the first point to the last.
    double Duration() const;
    // Places the receiver `elapsed` seconds into the track: the position
    // along the geodesic between the two points around that time, speed
    // and course from them, the altitude between their elevations. False
    // once past the last point without a loop.
    bool Place(TKovraNMEAGenerator& gps, double elapsed);

private:
    GpxTrack track_;
    std::vector<TDateTime> times_;
    std::vector<double> offsets_;  // seconds of each point from the first
    bool loop_;
    std::size_t segment_ = 0;      // where the last placing was
};

// The sailed run as a GPX 1.1 file: one trkpt an update (at most 10 a
// second of simulated time) with time, elevation, and speed and course in
// the Garmin TrackPointExtension (v2), with the waypoints and the active
// route; the file is replaced as a whole on every save.
class GpxRecorder {
public:
    explicit GpxRecorder(std::filesystem::path file);
    // The receiver's state at `elapsed` seconds of simulated time.
    void Add(const TKovraNMEAGenerator& gps, double elapsed);
    // Writes the file; OutputError when it cannot be replaced.
    void Save(const TKovraNMEAGenerator& gps) const;

private:
    std::filesystem::path file_;
    std::string trackPoints_;
    std::optional<double> lastElapsed_;
};

}  // namespace kovra::engine
