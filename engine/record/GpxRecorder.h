// The sailed run recorded as GPX, written as the run goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/run/Errors.h"
#include "engine/scenario/World.h"
#include "foundation/DateTime.h"
#include "foundation/FileDescriptor.h"

namespace kovra::engine {

// The sailed run as a GPX 1.1 file, written as it goes: the waypoints and
// the active route as the recording starts, then one trkpt an update (at
// most 10 a second of simulated time) with time, elevation, and speed and
// course in the Garmin TrackPointExtension (v2). New points are written over
// the closing tags, which follow them again, so the file is whole GPX after
// every flush; memory holds only the points since the last one.
class GpxRecorder {
public:
    // Starts the file with the world's waypoints and `route`, replacing a
    // file of that name (and the hidden leftovers of saves a killed run never
    // finished); OutputError when it cannot.
    GpxRecorder(std::filesystem::path file, const World& world, const std::string& route, Notify notify);
    ~GpxRecorder();  // flushes what is left; Finish() says whether that worked
    GpxRecorder(const GpxRecorder&) = delete;
    GpxRecorder& operator=(const GpxRecorder&) = delete;

    // The vessel's state at `time`, `elapsed` seconds of simulated time into
    // the run; flushes every 10 s of wall time, or sooner when much has gathered.
    void Add(const VesselState& state, TDateTime time, double elapsed);
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
