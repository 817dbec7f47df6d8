#include "engine/Simulator.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <span>
#include <vector>

#include "engine/scenario/Motion.h"
#include "engine/receiver/Replay.h"
#include "nmea/Format.h"

namespace kovra::engine {

namespace {

using Clock = std::chrono::steady_clock;
using Outputs = std::vector<std::unique_ptr<Output>>;
using kovra::nmea::kMaxSentenceLength;
constexpr double kMetresPerNauticalMile = 1852;
constexpr std::int32_t kWebSkyPlotRadius = 150;
// Sentences carry four-digit years: the clock stops at the end of 9999.
const TDateTime kEndOfYear9999 = EncodeDateTime(9999, 12, 31, 0, 0) + 1;

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
        // An output's own turn (a reconnection due) may come before the update.
        Clock::time_point wake = Clock::time_point::max();
        for (const auto& output : outputs) {
            wake = std::min(wake, output->WakeAt());
        }
        std::int64_t timeout = std::min<std::int64_t>(left.count(), 60'000);
        if (wake != Clock::time_point::max()) {
            timeout = std::clamp<std::int64_t>(
                std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count(), 0, timeout);
        }
        const int ready = ::poll(waits.data(), waits.size(), static_cast<int>(timeout));
        if (ready < 0 && errno != EINTR) {
            throw OutputError(SystemError("cannot wait for the next update"));
        }
        for (std::size_t i = 0; ready > 0 && i < outputs.size(); ++i) {
            outputs[i]->Serve(std::span<const pollfd>(waits).subspan(firsts[i], firsts[i + 1] - firsts[i]));
        }
        for (const auto& output : outputs) {
            if (output->WakeAt() <= Clock::now()) {
                output->Wake();
            }
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
            if (length > kMaxSentenceLength) {
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

// Every update goes to every output; false once the reader of standard
// output has gone.
bool WriteAll(const Outputs& outputs, std::string_view update) {
    try {
        for (const auto& output : outputs) {
            output->Write(update);
        }
    } catch (const StreamClosed&) {
        return false;
    }
    return true;
}

// When each update is due on the wall clock: every period divided by the
// speedup from the start, or at once when running fast (the outputs are
// still served now and then, and a stop still ends the run).
class Pacer {
public:
    Pacer(const RunSettings& settings, const Outputs& outputs, const Stop& stop)
        : fast_(settings.fast),
          rate_(settings.rate),
          wallPeriod_(1.0 / settings.rate / settings.speedup),
          outputs_(outputs),
          stop_(stop) {}

    void Started(std::uint64_t n) { worstLateness_ = std::max(worstLateness_, Clock::now() - Due(n)); }
    // From update n on, a new speedup: the updates after it are paced from now.
    void ChangeSpeedup(double speedup, std::uint64_t n) {
        wallPeriod_ = 1.0 / rate_ / speedup;
        start_ = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(wallPeriod_ * static_cast<double>(n)));
    }
    // Waits until `seconds` of wall time after the start; false when a stop came first.
    bool WaitUntil(double seconds) {
        const Clock::time_point due =
            start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        worstLateness_ = std::max(worstLateness_, Clock::now() - due);
        return WaitServing(due, outputs_, stop_);
    }
    // Waits for update n (`late` after its time); false when a stop came first.
    bool WaitFor(std::uint64_t n, std::chrono::nanoseconds late = std::chrono::nanoseconds(0)) {
        if (!fast_) {
            return WaitServing(Due(n) + std::chrono::duration_cast<Clock::duration>(late), outputs_, stop_);
        }
        if (n % kServeEvery == 0) {
            return WaitServing(Clock::now(), outputs_, stop_) || !stop_.Requested();
        }
        return !stop_.Requested();
    }
    std::string Summary(std::uint64_t updates) const {
        char summary[160];
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        if (fast_) {
            std::snprintf(summary, sizeof summary, "%llu updates in %.3f s", static_cast<unsigned long long>(updates),
                          seconds);
        } else {
            std::snprintf(summary, sizeof summary, "%llu updates, worst lateness %.3f ms",
                          static_cast<unsigned long long>(updates),
                          std::chrono::duration<double, std::milli>(worstLateness_).count());
        }
        return summary;
    }

private:
    static constexpr std::uint64_t kServeEvery = 256;

    Clock::time_point Due(std::uint64_t n) const {
        return fast_ ? Clock::now()
                     : start_ + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(wallPeriod_ * static_cast<double>(n)));
    }

    bool fast_;
    double rate_;
    double wallPeriod_;
    const Outputs& outputs_;
    const Stop& stop_;
    Clock::time_point start_ = Clock::now();
    Clock::duration worstLateness_{0};
};

// Tells the host how far a finite run has got, at most 10 times a second.
class ProgressReport {
public:
    ProgressReport(const std::function<void(const RunProgress&)>& report, double total, std::string_view unit)
        : report_(report), total_(total), unit_(unit) {}

    void Report(double done) {
        if (!report_ || total_ <= 0) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (now - last_ >= std::chrono::milliseconds(100)) {
            last_ = now;
            report_({done, total_, unit_, std::chrono::duration<double>(now - start_).count(), false});
        }
    }
    void Finish(double done) {
        if (report_ && total_ > 0) {
            report_({done, total_, unit_, std::chrono::duration<double>(Clock::now() - start_).count(), true});
        }
    }

private:
    const std::function<void(const RunProgress&)>& report_;
    double total_;
    std::string_view unit_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_ = start_;
};

// The log as it stands, block by block of whole lines, at the speed of
// reading it; the blocks sent.
std::uint64_t SendAsItStands(NmeaLog& log, bool loop, const Outputs& outputs, Pacer& pacer, ProgressReport& progress,
                             const Stop& stop) {
    std::uint64_t blocks = 0;
    bool open = true;
    while (open && !stop.Requested()) {
        const std::string_view lines = log.NextLines();
        if (lines.empty()) {
            if (!loop) {
                break;
            }
            log.Rewind();
            if (log.Size() == 0) {
                break;  // emptied while playing (a rotated log): nothing is left to loop over
            }
            continue;
        }
        open = WriteAll(outputs, lines) && pacer.WaitFor(++blocks);
        progress.Report(static_cast<double>(log.BytesRead()));
    }
    progress.Finish(static_cast<double>(log.BytesRead()));
    for (const auto& output : outputs) {
        output->Finish();
    }
    return blocks;
}

}  // namespace

Simulator::Simulator(Notify notify) : notify_(std::move(notify)) {}

void Simulator::UseBuiltInScenario() { LoadBuiltInScenario(gps_, plan_); }

void Simulator::UseRealisticOutput(RealisticSettings settings) { realistic_.emplace(std::move(settings)); }

void Simulator::UseTrack(GpxTrack track, bool loop) {
    track_.emplace(std::move(track), loop);
    if (!plan_.fixedTime) {
        plan_.fixedTime = true;
        plan_.startTime = track_->Start();
    }
    gps_.UseSystemDateTime(false);
    gps_.UTCDateTime(plan_.startTime);
    plan_.followRoute = false;
}

void Simulator::RecordGpx(const std::filesystem::path& file) {
    recorder_.emplace(file, gps_, notify_);  // a file that cannot be written is told now, not after the run
}

void Simulator::UseFaults(FaultSettings settings) { faults_.emplace(std::move(settings)); }

void Simulator::ServeWebView(std::unique_ptr<WebServer> server) { web_ = std::move(server); }

void Simulator::AddOutput(std::unique_ptr<Output> output) { outputs_.push_back(std::move(output)); }

void CheckRunSettings(const RunSettings& settings) {
    if (!(settings.rate >= 0.001 && settings.rate <= 1000)) {
        throw SettingError("the rate must be between 0.001 and 1000 updates a second");
    }
    if (!(settings.speedup >= 0.1 && settings.speedup <= 1000)) {
        throw SettingError("the speedup must be between 0.1 and 1000");
    }
    if (settings.duration && !(*settings.duration > 0 && *settings.duration <= 1e9)) {
        throw SettingError("the duration must be above 0 and at most 1e9 seconds");
    }
}

// The sentences of the update at `elapsed` as the receiver builds them,
// with the outage, freeze and noise in force (what a line does to them
// comes after). Noise moves only the reported position; motion goes on
// from the true one.
std::string Simulator::NextUpdate(double elapsed, std::string& lastUpdate) {
    if (!faults_ && !web_) {  // nothing can interfere
        return realistic_ ? realistic_->Update(gps_, elapsed) : gps_.GetNMEA();
    }
    const bool outage = forcedOutage_ || (faults_ && faults_->InOutage(elapsed));
    const bool frozen = faults_ && faults_->Frozen(elapsed) && !lastUpdate.empty();
    if (faults_) {
        faults_->CountUpdate(outage, frozen);
    }
    if (!frozen) {
        const GeoPoint truth = PositionOf(gps_);
        const auto [east, north] = faults_ ? faults_->Noise(elapsed) : std::pair<double, double>{0, 0};
        if (east != 0 || north != 0) {
            double course = 0;
            SetPosition(gps_, Destination(truth, std::atan2(east, north) * 180 / std::numbers::pi,
                                          std::hypot(east, north) / kMetresPerNauticalMile, course));
        }
        const std::int32_t quality = gps_.FixQuality();
        if (outage && !realistic_) {
            gps_.FixQuality(0);  // the library's sentences for a receiver without a fix
        }
        if (realistic_) {
            realistic_->SetOutage(outage);
        }
        lastUpdate = realistic_ ? realistic_->Update(gps_, elapsed) : gps_.GetNMEA();
        gps_.FixQuality(quality);
        SetPosition(gps_, truth);
    }
    return lastUpdate;
}

ViewState Simulator::View(const Navigator& navigator, double speedup) const {
    ViewState v;
    v.time = IsoTime(gps_.GetUTCDateTime());
    const GeoPoint here = PositionOf(gps_);
    v.lat = here.lat;
    v.lon = here.lon;
    v.alt = static_cast<double>(gps_.Altitude());
    v.speed = static_cast<double>(gps_.Speed());
    v.course = static_cast<double>(gps_.Heading());
    if (realistic_) {
        const nmea4::Epoch& epoch = realistic_->LastEpoch();
        static constexpr const char* kNames[] = {"", "GPS", "GLONASS", "Galileo", "BeiDou"};
        v.fix = epoch.quality;
        v.hdop = epoch.dop.hdop;
        v.pdop = epoch.dop.pdop;
        v.vdop = epoch.dop.vdop;
        for (const nmea4::Satellite& s : epoch.satellites) {
            v.satellites.push_back({kNames[static_cast<int>(s.system)], nmea4::NmeaNumber(s.system, s.number),
                                    s.elevation, s.azimuth, s.snr, s.used});
        }
    } else {
        v.fix = forcedOutage_ ? 0 : gps_.FixQuality();
        v.hdop = static_cast<double>(gps_.HDOP());
        v.pdop = static_cast<double>(gps_.PDOP());
        v.vdop = static_cast<double>(gps_.VDOP());
        for (const TSatellite* s : gps_.GetActiveSatellitesList()) {
            v.satellites.push_back({"GPS", s->PseudoRandomCode(), s->Elevation(), s->Azimuth(), s->SignalToNoiseRatio(),
                                    true});
        }
    }
    const TWayPoints& waypoints = gps_.WayPoints();
    for (int i = 0; i < waypoints.Count(); ++i) {
        if (const TWayPoint* w = waypoints.GetItem(i)) {
            const GeoPoint p = PositionOf(*w);
            v.waypoints.push_back({w->Name(), p.lat, p.lon});
        }
    }
    for (int i = 0; i < gps_.Routes().Count(); ++i) {
        if (const TRoute* r = gps_.Routes().GetItem(i)) {
            v.routes.push_back(r->Name());
        }
    }
    if (const TRoute* active = gps_.Routes().ActiveRoute()) {
        v.route = active->Name();
        v.routePoints = active->WayPoints();
        double distance = 0;
        if (const std::string next = navigator.NextWayPoint(gps_, distance); !next.empty()) {
            v.next = next;
            v.nextDistance = distance;
        }
    }
    v.paused = paused_;
    v.outage = forcedOutage_;
    v.speedup = speedup;
    return v;
}

bool Simulator::ApplyRequests(Navigator& navigator, double& speedup) {
    const std::optional<ControlRequest> request = web_->TakeRequests();
    if (!request) {
        return false;
    }
    const ControlRequest& r = *request;
    if (r.course) {
        gps_.Heading(*r.course);
        gps_.Magnetic_Heading(MagneticHeading(gps_.Heading(), gps_.Magnetic_Variation(),
                                              gps_.Magnetic_Variation_Direction()));
        plan_.followRoute = false;  // steered by hand from now on
    }
    if (r.speed) {
        gps_.Speed(*r.speed);
    }
    if (r.pause) {
        paused_ = *r.pause;
    }
    if (r.outage) {
        forcedOutage_ = *r.outage;
    }
    if (r.goTo) {
        auto route = std::make_unique<TRoute>("GOTO");
        route->WayPoints({*r.goTo});
        MakeActiveRoute(gps_, std::move(route));
        plan_.followRoute = true;
    }
    if (r.route) {
        gps_.Routes().ActiveRoute(gps_.Routes().GetByName(*r.route));
        plan_.followRoute = true;
    }
    // A new way of steering starts the route afresh; a speed, a pause or an
    // outage leaves the progress along it as it is.
    if (r.course || r.goTo || r.route) {
        navigator = Navigator(plan_);
    }
    if (r.speedup) {
        speedup = *r.speedup;
        return true;
    }
    return false;
}

std::uint64_t Simulator::Run(const RunSettings& settings, const Stop& stop) {
    CheckRunSettings(settings);
    const double period = 1.0 / settings.rate;  // simulated seconds between updates
    std::uint64_t limit = settings.count;
    if (settings.duration) {
        const auto updates = static_cast<std::uint64_t>(std::ceil(*settings.duration * settings.rate - 1e-9));
        limit = limit == 0 ? std::max<std::uint64_t>(updates, 1) : std::min(limit, std::max<std::uint64_t>(updates, 1));
    }
    // Faster or slower than the wall clock (or so at any moment from the
    // live view), the sentences' clock follows simulated time from the
    // system clock's now.
    if ((settings.fast || settings.speedup != 1 || web_) && !plan_.fixedTime) {
        plan_.fixedTime = true;
        plan_.startTime = gps_.GetUTCDateTime();
        gps_.UseSystemDateTime(false);
        gps_.UTCDateTime(plan_.startTime);
    }
    Navigator navigator(plan_);
    Warnings warnings(settings, notify_);
    Pacer pacer(settings, outputs_, stop);
    if (track_ && !plan_.loop) {
        // The track's last point ends the run.
        const auto points = static_cast<std::uint64_t>(std::floor((track_->Duration() + 1e-3) / period)) + 1;
        limit = limit == 0 ? points : std::min(limit, points);
    }
    ProgressReport progress(settings.progress, static_cast<double>(limit), "updates");
    std::uint64_t updates = 0;
    std::string lastUpdate;
    double speedup = settings.speedup;
    // A lost output ends the run with its error, after the recording has what was sailed.
    try {
        for (std::uint64_t n = 0; (limit == 0 || n < limit) && !stop.Requested(); ++n) {
            pacer.Started(n);
            const double elapsed = period * static_cast<double>(n);
            if (web_ && ApplyRequests(navigator, speedup)) {
                pacer.ChangeSpeedup(speedup, n);
            }
            if (paused_) {
                // Still: no motion, the clock goes on.
            } else if (track_) {
                if (!track_->Place(gps_, elapsed)) {
                    break;
                }
            } else if (n > 0) {
                navigator.Step(gps_, period);
            }
            if (n > 0 && plan_.fixedTime) {
                const auto elapsedMs = static_cast<std::int64_t>(std::llround(elapsed * 1000.0));
                gps_.UTCDateTime(plan_.startTime + static_cast<double>(elapsedMs) / 86'400'000.0);
            }
            ++updates;
            if (recorder_) {
                recorder_->Add(gps_, elapsed);  // sailed, whatever becomes of the sending
            }
            if (gps_.GetUTCDateTime() >= kEndOfYear9999) {
                notify_("the simulated clock has reached the end of the year 9999; the run ends there");
                break;
            }
            if (track_ && track_->Overspeed() && !overspeedTold_) {
                overspeedTold_ = true;
                notify_("warning: the track's points lie too close in time for a vessel: its speed is held at 1000 "
                        "knots");
            }
            const std::string built = NextUpdate(elapsed, lastUpdate);
            warnings.Check(built);  // what the faults then do on purpose is no warning
            const std::string update = faults_ ? faults_->Damage(built) : built;
            if (!WriteAll(outputs_, update)) {
                break;  // the reader of standard output is done
            }
            if (web_) {
                web_->Publish(update, [&] {
                    return WebServer::Snapshot{View(navigator, speedup),
                                               realistic_ ? SkyPlotOf(realistic_->LastEpoch(), kWebSkyPlotRadius)
                                                          : gps_.SkyPlotSvg(kWebSkyPlotRadius)};
                });
            }
            if (settings.verbose) {
                notify_(StatusLine(n + 1, gps_, navigator));
            }
            progress.Report(static_cast<double>(n + 1));
            const bool more = limit == 0 || n + 1 < limit;
            if (more && !pacer.WaitFor(n + 1, faults_ ? faults_->Delay() : std::chrono::nanoseconds(0))) {
                break;
            }
        }
    } catch (...) {
        if (recorder_) {
            recorder_->Finish();
        }
        throw;
    }
    if (faults_ && settings.verbose) {
        notify_(faults_->Summary());
    }
    if (recorder_) {
        recorder_->Finish();
    }
    progress.Finish(static_cast<double>(updates));
    for (const auto& output : outputs_) {
        output->Finish();
    }
    if (settings.verbose) {
        notify_(pacer.Summary(updates));
    }
    return updates;
}

std::uint64_t Simulator::Replay(NmeaLog& log, bool loop, const RunSettings& settings, const Stop& stop) {
    CheckRunSettings(settings);
    const double period = 1.0 / settings.rate;
    Pacer pacer(settings, outputs_, stop);
    ProgressReport progress(settings.progress, loop ? 0 : static_cast<double>(log.Size()), "bytes");
    // Running fast, epochs go out in batches of this much: the bytes are the
    // same, the writes far fewer.
    constexpr std::size_t kBatch = 64 * 1024;
    // Fast, whole and unbounded: the log goes out as it stands.
    if (settings.fast && !log.DropsBadChecksums() && settings.count == 0 && !settings.duration && !faults_) {
        return SendAsItStands(log, loop, outputs_, pacer, progress, stop);
    }
    std::string batch, epoch;
    double loopStart = 0, last = 0, firstGap = 0;  // simulated seconds
    std::uint64_t sent = 0, inPass = 0;
    bool open = true;
    while (open && !stop.Requested() && (settings.count == 0 || sent < settings.count)) {
        double seconds = 0;
        epoch.clear();
        if (!log.Next(epoch, seconds)) {
            if (!loop || inPass == 0) {
                break;
            }
            // Again from the start, one of the log's own periods after its end.
            loopStart = log.Timed() ? last + (firstGap > 0 ? firstGap : period) : loopStart;
            inPass = 0;
            log.Rewind();
            continue;
        }
        const double at = log.Timed() ? loopStart + seconds : period * static_cast<double>(sent);
        if (inPass == 1 && log.Timed() && firstGap == 0) {
            firstGap = seconds;
        }
        if (settings.duration && at >= *settings.duration && sent > 0) {
            break;
        }
        ++inPass;
        if (faults_) {
            epoch = faults_->Damage(epoch);  // what a line may do to a log too
        }
        if (!settings.fast) {
            const double late = faults_ ? std::chrono::duration<double>(faults_->Delay()).count() : 0;
            open = pacer.WaitUntil(std::max(at, last) / settings.speedup + late) && WriteAll(outputs_, epoch);
        } else {
            batch += epoch;
            if (batch.size() >= kBatch) {
                open = WriteAll(outputs_, batch) && pacer.WaitFor(sent);
                batch.clear();
            }
        }
        last = std::max(at, last);
        ++sent;
        progress.Report(static_cast<double>(log.BytesRead()));
    }
    if (open && !batch.empty()) {
        (void)WriteAll(outputs_, batch);
    }
    progress.Finish(static_cast<double>(log.BytesRead()));
    for (const auto& output : outputs_) {
        output->Finish();
    }
    if (faults_ && settings.verbose) {
        notify_(faults_->Summary());
    }
    if (log.DropsBadChecksums()) {
        notify_(std::to_string(log.Dropped()) + (log.Dropped() == 1 ? " line" : " lines") +
                " of the log left out for a wrong checksum");
    }
    if (log.Cut() > 0) {
        notify_(std::to_string(log.Cut()) + " stretches of the log without a line end in " +
                std::to_string(NmeaLog::kMaxLineLength) + " bytes were sent in pieces");
    }
    if (settings.verbose) {
        notify_(pacer.Summary(sent));
    }
    return sent;
}

}  // namespace kovra::engine
