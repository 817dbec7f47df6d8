// The truth beside what was sent, as JSON Lines: one object a vessel an
// update, so that a harness compares what a consumer decoded with what was
// true and what went out, without reading NMEA.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/faults/Faults.h"
#include "engine/receiver/Receiver.h"
#include "engine/run/Errors.h"
#include "engine/scenario/World.h"
#include "foundation/DateTime.h"
#include "foundation/FileDescriptor.h"

namespace kovra::engine {

// One vessel in one update.
struct TruthRecord {
    std::uint64_t update = 0;  // from 1
    double elapsed = 0;        // seconds of simulated time from the start
    TDateTime utc = 0;
    std::string vessel;
    VesselState truth;
    std::optional<GeoPoint> reported;  // the position the receiver reported, noise on; none without a fix
    ReportedFix fix;
    bool outage = false, frozen = false;
    FaultCounts faults;  // in this update
    std::vector<std::string> events;  // applied to the vessel in this update
    struct Sent {
        std::string output;
        std::vector<std::string> kinds;
        std::size_t bytes = 0;
    };
    std::vector<Sent> outputs;
    bool receiver = true;  // false: an AIS target only, without the receiver's fields
    // Its AIS station: how many position reports it has sent, and its closest
    // approach to own ship (none for own ship's).
    struct Ais {
        std::uint32_t mmsi = 0;
        std::uint64_t reports = 0;
        std::optional<double> cpaNm{}, tcpaSeconds{};
    };
    std::optional<Ais> ais{};
};

class TruthLog {
public:
    // Starts the file, replacing one of that name; OutputError when it cannot.
    TruthLog(std::filesystem::path file, Notify notify);
    TruthLog(const TruthLog&) = delete;
    TruthLog& operator=(const TruthLog&) = delete;
    ~TruthLog();

    // Flushed once a second of wall time, or sooner when much has gathered.
    void Add(const TruthRecord& record);
    // What is left written; a failed write is a warning, once, and the run goes on.
    void Finish();

private:
    void Flush();

    std::filesystem::path file_;
    Notify notify_;
    FileDescriptor fd_;
    std::string pending_;
    bool failed_ = false;
    std::chrono::steady_clock::time_point lastFlush_;
};

}  // namespace kovra::engine
