#include "engine/record/TruthLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "engine/scenario/IsoTime.h"
#include "files/DataFile.h"
#include "foundation/Text.h"

namespace kovra::engine {

namespace {

constexpr auto kFlushInterval = std::chrono::seconds(1);
constexpr std::size_t kFlushSize = 256 * 1024;

nlohmann::ordered_json JsonOf(const TruthRecord& r) {
    const VesselState& s = r.truth;
    nlohmann::ordered_json line = {
        {"update", r.update},
        {"t", r.elapsed},
        {"time", IsoTime(r.utc)},
        {"vessel", r.vessel},
        {"true",
         {{"lat", s.position.lat},
          {"lon", s.position.lon},
          {"alt", s.altitude},
          {"speed", s.speed / kMetresPerSecondPerKnot},
          {"course", s.course},
          {"heading", s.heading}}},
    };
    if (r.ais) {
        line["ais"] = {{"mmsi", r.ais->mmsi},
                       {"reports", r.ais->reports},
                       {"cpa_nm", r.ais->cpaNm ? nlohmann::ordered_json(*r.ais->cpaNm) : nlohmann::ordered_json()},
                       {"tcpa_s", r.ais->tcpaSeconds ? nlohmann::ordered_json(*r.ais->tcpaSeconds) : nlohmann::ordered_json()}};
    }
    if (!r.receiver) {
        return line;
    }
    const nlohmann::ordered_json received = {
        {"reported", r.reported ? nlohmann::ordered_json{{"lat", r.reported->lat}, {"lon", r.reported->lon}} : nlohmann::ordered_json()},
        {"fix", r.fix.quality},
        {"hdop", r.fix.hdop},
        {"pdop", r.fix.pdop},
        {"vdop", r.fix.vdop},
        {"outage", r.outage},
        {"frozen", r.frozen},
        {"events", r.events},
    };
    line.update(received);
    int used = 0;
    for (const ReportedSatellite& satellite : r.fix.satellites) {
        used += satellite.used ? 1 : 0;
    }
    line["satellites"] = {{"used", used}, {"in_view", r.fix.satellites.size()}};
    nlohmann::ordered_json faults = nlohmann::ordered_json::object();
    const std::pair<const char*, std::uint64_t> counts[] = {{"dropped", r.faults.dropped},
                                                            {"corrupted", r.faults.corrupted},
                                                            {"truncated", r.faults.truncated},
                                                            {"garbage", r.faults.garbage},
                                                            {"extra", r.faults.extras}};
    for (const auto& [name, count] : counts) {
        if (count > 0) {
            faults[name] = count;
        }
    }
    line["faults"] = faults;
    line["outputs"] = nlohmann::ordered_json::array();
    for (const TruthRecord::Sent& sent : r.outputs) {
        line["outputs"].push_back({{"output", sent.output}, {"kinds", sent.kinds}, {"bytes", sent.bytes}});
    }
    return line;
}

}  // namespace

TruthLog::TruthLog(std::filesystem::path file, Notify notify)
    : file_(std::move(file)), notify_(std::move(notify)), lastFlush_(std::chrono::steady_clock::now()) {
    try {
        ReplaceDataFile(file_, "");
    } catch (const std::exception& e) {
        throw OutputError(e.what());
    }
    fd_ = FileDescriptor(::open(file_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY));
    if (!fd_.Valid()) {
        throw OutputError(SystemError("cannot write '" + Printable(file_.string()) + "'"));
    }
}

TruthLog::~TruthLog() {
    if (fd_.Valid()) {
        Flush();
    }
}

void TruthLog::Add(const TruthRecord& record) {
    // Names and sentences may hold any byte: replaced, never refused.
    pending_ += JsonOf(record).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    pending_ += '\n';
    if (pending_.size() >= kFlushSize || std::chrono::steady_clock::now() - lastFlush_ >= kFlushInterval) {
        Flush();
    }
}

void TruthLog::Flush() {
    lastFlush_ = std::chrono::steady_clock::now();
    std::string_view text = pending_;
    while (!text.empty() && !failed_) {
        const ssize_t written = ::write(fd_.Get(), text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            notify_("warning: cannot write '" + Printable(file_.string()) + "': " +
                    std::strerror(written == 0 ? EIO : errno) + "; the truth is no longer recorded, the run goes on");
        } else {
            text.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    pending_.clear();
}

void TruthLog::Finish() {
    Flush();
    if (!failed_ && ::fsync(fd_.Get()) != 0) {
        notify_(SystemError("warning: cannot flush '" + Printable(file_.string()) + "' to disk"));
    }
}

}  // namespace kovra::engine
