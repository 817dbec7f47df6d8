#include "Runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "Motion.h"
#include "Outputs.h"
#include "Scenario.h"
#include "files/DataFile.h"
#include "foundation/Text.h"

namespace kovra::app {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxSentence = 82;  // NMEA 0183, "$" to CR LF

template <typename Save>
void SaveOrFail(const std::optional<std::string>& file, Save save) {
    if (!file) {
        return;
    }
    try {
        save(FileNameFromUtf8(*file));
    } catch (const std::exception& e) {
        throw OutputError(e.what());
    }
}

void SaveRequestedFiles(const Options& o, TKovraNMEAGenerator& gps) {
    SaveOrFail(o.saveSatellites, [&](const TFileName& name) { gps.SaveSatellitesToFile(name); });
    SaveOrFail(o.saveWaypoints, [&](const TFileName& name) { gps.WayPoints().SaveToFile(name); });
    SaveOrFail(o.saveRoute, [&](const TFileName& name) { gps.Routes().ActiveRoute()->SaveToFile(name); });
    // The picture goes through the same all-or-nothing save as the data files.
    SaveOrFail(o.skyplot, [&](const TFileName& name) { ReplaceDataFile(ToPath(name), gps.SkyPlotSvg(o.skyplotRadius)); });
}

bool HasWayPoints(const TWayPoints& list) {
    for (int i = 0; i < list.Count(); ++i) {
        if (list.GetItem(i) != nullptr) {
            return true;
        }
    }
    return false;
}

// Saving an empty list would remove the user's file: refused before anything
// is opened or written, and the file stays as it was.
void RequireSomethingToSave(const Options& o, const TKovraNMEAGenerator& gps) {
    if (o.saveWaypoints && !HasWayPoints(gps.WayPoints())) {
        throw UsageError("--save-waypoints: there are no waypoints to save; '" + *o.saveWaypoints +
                         "' is left as it is");
    }
    if (o.saveRoute && gps.Routes().ActiveRoute() == nullptr) {
        throw UsageError("--save-route: there is no active route to save; '" + *o.saveRoute + "' is left as it is");
    }
}

using Outputs = std::vector<std::unique_ptr<Output>>;

Outputs OpenOutputs(const Options& o, TKovraNMEAGenerator& gps, Stop& stop) {
    Outputs outputs;
    if (o.port) {
        outputs.push_back(OpenSerialPort(gps, *o.port, o.baud, o.threaded, stop));
    }
    if (o.pty) {
        outputs.push_back(OpenPseudoTerminal(o.ptyLink));
    }
    if (o.tcp) {
        outputs.push_back(OpenTcpServer(*o.tcp, o.bind, o.tcpMaxClients));
    }
    if (outputs.empty()) {
        outputs.push_back(OpenStandardOutput(stop));
    }
    return outputs;
}

// Waits until `deadline` while serving the outputs (new TCP clients, readers
// catching up); false when a stop came first.
bool WaitServing(Clock::time_point deadline, const Outputs& outputs, const Stop& stop) {
    std::vector<pollfd> waits;
    std::vector<std::size_t> firsts;
    while (!stop.Requested()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return true;
        }
        waits.assign(1, pollfd{stop.Descriptor(), POLLIN, 0});
        firsts.clear();
        for (const auto& output : outputs) {
            firsts.push_back(waits.size());
            output->Watch(waits);
        }
        firsts.push_back(waits.size());
        const int ready = ::poll(waits.data(), waits.size(), static_cast<int>(std::min<std::int64_t>(left.count(), 60'000)));
        if (ready < 0 && errno != EINTR) {
            throw OutputError(SystemError("cannot wait for the next update"));
        }
        for (std::size_t i = 0; ready > 0 && i < outputs.size(); ++i) {
            outputs[i]->Serve(std::span<const pollfd>(waits).subspan(firsts[i], firsts[i + 1] - firsts[i]));
        }
    }
    return false;
}

// Warnings a user needs, each given once.
class Warnings {
public:
    explicit Warnings(const Options& o) : lineBytesPerUpdate_(o.port ? o.baud / 10.0 / o.rate : 0) {}

    void Check(const std::string& update) {
        if (!tooMuchForLine_ && lineBytesPerUpdate_ > 0 && static_cast<double>(update.size()) > lineBytesPerUpdate_) {
            tooMuchForLine_ = true;
            std::cerr << "kovra-nmea: warning: an update of " << update.size() << " bytes does not fit the line: at "
                      << "this baud and update rate it carries " << static_cast<long>(lineBytesPerUpdate_)
                      << " bytes an update\n";
        }
        std::size_t start = 0;
        while (!tooLong_ && start < update.size()) {
            const std::size_t end = update.find('\n', start);
            const std::size_t length = (end == std::string::npos ? update.size() : end + 1) - start;
            if (length > kMaxSentence) {
                tooLong_ = true;
                std::cerr << "kovra-nmea: warning: " << update.substr(start, 6) << " sentence of " << length
                          << " characters exceeds NMEA 0183's 82 (it is sent as built)\n";
            }
            start += length;
        }
    }

private:
    double lineBytesPerUpdate_;
    bool tooMuchForLine_ = false;
    bool tooLong_ = false;
};

void PrintStatus(std::uint64_t n, const TKovraNMEAGenerator& gps, const Navigator& navigator) {
    const DecodedDateTime t = DecodeDateTime(gps.GetUTCDateTime());
    char line[256];
    std::snprintf(line, sizeof line,
                  "#%llu %02d:%02d:%02d.%03d  %02d°%02d'%05.2f\"%c %03d°%02d'%05.2f\"%c  %.1f kn  %.1f°",
                  static_cast<unsigned long long>(n), t.hour, t.minute, t.second, t.millisecond,
                  gps.Latitude_Degree(), gps.Latitude_Minute(), static_cast<double>(gps.Latitude_Second()),
                  gps.Latitude_Direction() == TCardinalPoint::cpNorth ? 'N' : 'S', gps.Longitude_Degree(),
                  gps.Longitude_Minute(), static_cast<double>(gps.Longitude_Second()),
                  gps.Longitude_Direction() == TCardinalPoint::cpEast ? 'E' : 'W', static_cast<double>(gps.Speed()),
                  static_cast<double>(gps.Heading()));
    std::string status = line;
    double distance = 0;
    const std::string next = navigator.NextWayPoint(gps, distance);
    if (!next.empty()) {
        char away[64];
        std::snprintf(away, sizeof away, " %.2f nm", distance);
        status += "  next " + Printable(next) + away;  // a name never reaches the terminal raw
    }
    std::cerr << status + "\n";  // one write, one line
}

}  // namespace

int Run(const Options& o, Stop& stop) {
    TKovraNMEAGenerator gps;
    const Plan plan = BuildState(o, gps);
    RequireSomethingToSave(o, gps);
    const Outputs outputs = OpenOutputs(o, gps, stop);
    SaveRequestedFiles(o, gps);

    Navigator navigator(plan);
    Warnings warnings(o);
    const std::chrono::duration<double> period(1.0 / o.rate);
    const Clock::time_point start = Clock::now();
    Clock::duration worstLateness{0};
    std::uint64_t updates = 0;
    for (std::uint64_t n = 0; (o.count == 0 || n < o.count) && !stop.Requested(); ++n) {
        const Clock::time_point due = start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(n));
        worstLateness = std::max(worstLateness, Clock::now() - due);
        ++updates;
        if (n > 0) {
            navigator.Step(gps, period.count());
            if (plan.fixedTime) {
                const auto elapsedMs = static_cast<std::int64_t>(std::llround(static_cast<double>(n) * 1000.0 / o.rate));
                gps.UTCDateTime(plan.startTime + static_cast<double>(elapsedMs) / 86'400'000.0);
            }
        }
        const std::string update = gps.GetNMEA();
        warnings.Check(update);
        try {
            for (const auto& output : outputs) {
                output->Write(update);
            }
        } catch (const StreamClosed&) {
            break;  // the reader of standard output is done
        }
        if (o.verbose) {
            PrintStatus(n + 1, gps, navigator);
        }
        const bool more = o.count == 0 || n + 1 < o.count;
        if (more && !WaitServing(start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(n + 1)),
                                 outputs, stop)) {
            break;
        }
    }
    for (const auto& output : outputs) {
        output->Finish();
    }
    if (o.verbose) {
        char summary[128];
        std::snprintf(summary, sizeof summary, "kovra-nmea: %llu updates, worst lateness %.3f ms\n",
                      static_cast<unsigned long long>(updates),
                      std::chrono::duration<double, std::milli>(worstLateness).count());
        std::cerr << summary;
    }
    return 0;
}

}  // namespace kovra::app
