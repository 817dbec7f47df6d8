#include "Runner.h"

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>

#include "Motion.h"
#include "Outputs.h"
#include "host/Text.h"
#include "Scenario.h"

namespace kovra::app {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxSentence = 82;  // NMEA 0183, "$" to CR LF

std::atomic<bool> gStop{false};

void RequestStop(int) { gStop = true; }

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGINT, &action, nullptr) != 0 || sigaction(SIGTERM, &action, nullptr) != 0) {
        throw OutputError("cannot install the signal handlers");
    }
    action.sa_handler = SIG_IGN;  // a reader that goes away shows as EPIPE
    if (sigaction(SIGPIPE, &action, nullptr) != 0) {
        throw OutputError("cannot ignore SIGPIPE");
    }
}

// Sleeps until `deadline`, or until a stop is requested.
void SleepUntil(Clock::time_point deadline) {
    const auto since = deadline.time_since_epoch();
    timespec until{};
    until.tv_sec = static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(since).count());
    until.tv_nsec = static_cast<long>((since - std::chrono::seconds(until.tv_sec)).count() % 1'000'000'000);
    while (!gStop) {
        const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        if (result != EINTR) {
            return;
        }
    }
}

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
    SaveOrFail(o.saveRoute, [&](const TFileName& name) {
        if (gps.Routes().ActiveRoute() == nullptr) {
            throw OutputError("--save-route: there is no active route to save");
        }
        gps.Routes().ActiveRoute()->SaveToFile(name);
    });
    if (o.skyplot) {
        std::string svg;
        try {
            svg = gps.SkyPlotSvg(o.skyplotRadius);
        } catch (const EKovraNMEAException& e) {
            throw UsageError(std::string("--skyplot-radius: ") + e.what());
        }
        std::ofstream file(*o.skyplot, std::ios::binary | std::ios::trunc);
        if (!(file << svg) || !file.flush()) {
            throw OutputError("cannot write the sky plot to '" + *o.skyplot + "'");
        }
    }
}

std::vector<std::unique_ptr<Output>> OpenOutputs(const Options& o, TKovraNMEAGenerator& gps) {
    std::vector<std::unique_ptr<Output>> outputs;
    if (o.port) {
        outputs.push_back(OpenSerialPort(gps, *o.port, o.baud, o.threaded));
    }
    if (o.pty) {
        outputs.push_back(OpenPseudoTerminal(o.ptyLink));
    }
    if (o.tcp) {
        outputs.push_back(OpenTcpServer(*o.tcp, o.bind));
    }
    if (outputs.empty()) {
        outputs.push_back(OpenStandardOutput());
    }
    return outputs;
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
    double distance = 0;
    const std::string next = navigator.NextWayPoint(gps, distance);
    std::cerr << line;
    if (!next.empty()) {
        std::fprintf(stderr, "  next %s %.2f nm", next.c_str(), distance);
    }
    std::cerr << std::endl;
}

}  // namespace

int Run(const Options& o) {
    TKovraNMEAGenerator gps;
    const Plan plan = BuildState(o, gps);
    InstallSignalHandlers();
    std::vector<std::unique_ptr<Output>> outputs = OpenOutputs(o, gps);
    SaveRequestedFiles(o, gps);

    Navigator navigator(plan);
    Warnings warnings(o);
    const std::chrono::duration<double> period(1.0 / o.rate);
    const Clock::time_point start = Clock::now();
    Clock::duration worstLateness{0};
    std::uint64_t updates = 0;
    for (std::uint64_t n = 0; (o.count == 0 || n < o.count) && !gStop; ++n) {
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
        if (o.count == 0 || n + 1 < o.count) {
            SleepUntil(start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(n + 1)));
        }
    }
    for (const auto& output : outputs) {
        output->Finish();
    }
    if (o.verbose) {
        std::fprintf(stderr, "kovra-nmea: %llu updates, worst lateness %.3f ms\n",
                     static_cast<unsigned long long>(updates),
                     std::chrono::duration<double, std::milli>(worstLateness).count());
    }
    return 0;
}

}  // namespace kovra::app
