#include "engine/Simulator.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

#include "engine/Motion.h"

namespace kovra::engine {

namespace {

using Clock = std::chrono::steady_clock;
using Outputs = std::vector<std::unique_ptr<Output>>;
constexpr std::size_t kMaxSentence = 82;  // NMEA 0183, "$" to CR LF

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
    Warnings(const RunSettings& settings, const Notify& notify)
        : notify_(notify), lineBytesPerUpdate_(settings.lineBaud > 0 ? settings.lineBaud / 10.0 / settings.rate : 0) {}

    void Check(const std::string& update) {
        if (!tooMuchForLine_ && lineBytesPerUpdate_ > 0 && static_cast<double>(update.size()) > lineBytesPerUpdate_) {
            tooMuchForLine_ = true;
            notify_("warning: an update of " + std::to_string(update.size()) +
                    " bytes does not fit the line: at this baud and update rate it carries " +
                    std::to_string(static_cast<long>(lineBytesPerUpdate_)) + " bytes an update");
        }
        std::size_t start = 0;
        while (!tooLong_ && start < update.size()) {
            const std::size_t end = update.find('\n', start);
            const std::size_t length = (end == std::string::npos ? update.size() : end + 1) - start;
            if (length > kMaxSentence) {
                tooLong_ = true;
                notify_("warning: " + update.substr(start, 6) + " sentence of " + std::to_string(length) +
                        " characters exceeds NMEA 0183's 82 (it is sent as built)");
            }
            start += length;
        }
    }

private:
    const Notify& notify_;
    double lineBytesPerUpdate_;
    bool tooMuchForLine_ = false;
    bool tooLong_ = false;
};

std::string StatusLine(std::uint64_t n, const TKovraNMEAGenerator& gps, const Navigator& navigator) {
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
    return status;
}

}  // namespace

Simulator::Simulator(Notify notify) : notify_(std::move(notify)) {}

void Simulator::UseBuiltInScenario() { LoadBuiltInScenario(gps_, plan_); }

void Simulator::UseRealisticOutput(RealisticSettings settings) { realistic_.emplace(std::move(settings)); }

void Simulator::AddOutput(std::unique_ptr<Output> output) { outputs_.push_back(std::move(output)); }

std::uint64_t Simulator::Run(const RunSettings& settings, const Stop& stop) {
    if (!(settings.rate >= 0.001 && settings.rate <= 1000)) {
        throw SettingError("the rate must be between 0.001 and 1000 updates a second");
    }
    Navigator navigator(plan_);
    Warnings warnings(settings, notify_);
    const std::chrono::duration<double> period(1.0 / settings.rate);
    const Clock::time_point start = Clock::now();
    Clock::duration worstLateness{0};
    std::uint64_t updates = 0;
    for (std::uint64_t n = 0; (settings.count == 0 || n < settings.count) && !stop.Requested(); ++n) {
        const Clock::time_point due = start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(n));
        worstLateness = std::max(worstLateness, Clock::now() - due);
        ++updates;
        if (n > 0) {
            navigator.Step(gps_, period.count());
            if (plan_.fixedTime) {
                const auto elapsedMs = static_cast<std::int64_t>(std::llround(static_cast<double>(n) * 1000.0 / settings.rate));
                gps_.UTCDateTime(plan_.startTime + static_cast<double>(elapsedMs) / 86'400'000.0);
            }
        }
        const std::string update =
            realistic_ ? realistic_->Update(gps_, period.count() * static_cast<double>(n)) : gps_.GetNMEA();
        warnings.Check(update);
        try {
            for (const auto& output : outputs_) {
                output->Write(update);
            }
        } catch (const StreamClosed&) {
            break;  // the reader of standard output is done
        }
        if (settings.verbose) {
            notify_(StatusLine(n + 1, gps_, navigator));
        }
        const bool more = settings.count == 0 || n + 1 < settings.count;
        if (more && !WaitServing(start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(n + 1)),
                                 outputs_, stop)) {
            break;
        }
    }
    for (const auto& output : outputs_) {
        output->Finish();
    }
    if (settings.verbose) {
        char summary[128];
        std::snprintf(summary, sizeof summary, "%llu updates, worst lateness %.3f ms",
                      static_cast<unsigned long long>(updates),
                      std::chrono::duration<double, std::milli>(worstLateness).count());
        notify_(summary);
    }
    return updates;
}

}  // namespace kovra::engine
