// GPX 1.0 and 1.1, the exchange format of route planners and trackers:
// waypoints, routes and tracks read from a file (pugixml), a track sailed
// at its recorded times, and the sailed run written back as GPX.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/Errors.h"
#include "engine/scenario/Motion.h"
#include "foundation/FileDescriptor.h"
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
    // Whether the last placing held the speed at 1000 knots: points too close
    // in time for the distance between them.
    bool Overspeed() const { return overspeed_; }

private:
    GpxTrack track_;
    std::vector<TDateTime> times_;
    std::vector<double> offsets_;  // seconds of each point from the first
    bool loop_;
    std::size_t segment_ = 0;      // where the last placing was
    bool overspeed_ = false;
};

// The sailed run as a GPX 1.1 file, written as it goes: the waypoints and
// the active route as the recording starts, then one trkpt an update (at
// most 10 a second of simulated time) with time, elevation, and speed and
// course in the Garmin TrackPointExtension (v2). New points are written over
// the closing tags, which follow them again, so the file is whole GPX after
// every flush; memory holds only the points since the last one.
class GpxRecorder {
public:
    // Starts the file, replacing one of that name (and the hidden leftovers
    // of saves a killed run never finished); OutputError when it cannot.
    GpxRecorder(std::filesystem::path file, const TKovraNMEAGenerator& gps, Notify notify);
    ~GpxRecorder();  // flushes what is left; Finish() says whether that worked
    GpxRecorder(const GpxRecorder&) = delete;
    GpxRecorder& operator=(const GpxRecorder&) = delete;

    // The receiver's state at `elapsed` seconds of simulated time; flushes
    // every 10 s of wall time, or sooner when much has gathered.
    void Add(const TKovraNMEAGenerator& gps, double elapsed);
    // Writes the points gathered. A failed write is a warning, never the end
    // of the run: its points are lost and counted, the file is put back to
    // whole GPX as it was, and the next flush tries again.
    void Flush();
    // The last flush, made durable on disk.
    void Finish();
    std::uint64_t Lost() const { return lost_; }

private:
    bool Write(std::string_view text, off_t at);

    std::filesystem::path file_;
    Notify notify_;
    FileDescriptor fd_;
    off_t end_ = 0;            // where the closing tags start
    std::string pending_;      // trkpts not yet written
    std::uint64_t pendingPoints_ = 0;
    std::uint64_t lost_ = 0;   // points a failed write took
    bool failing_ = false;     // warned of the failure now going on
    std::optional<double> lastElapsed_;
    std::chrono::steady_clock::time_point lastFlush_;
};

}  // namespace kovra::engine
