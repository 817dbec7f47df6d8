#include "engine/ais/Transponder.h"

#include <algorithm>
#include <cmath>

namespace kovra::engine::ais {

namespace {

constexpr double kStaticInterval = 360;  // six minutes
constexpr double kSafetyTextInterval = 240;
constexpr int kBurst = 8;                // a safety device's reports a minute
constexpr int kMostAnUpdate = 10;        // reports sent at once when updates are far apart

bool SafetyDevice(StationKind kind) {
    return kind == StationKind::Sart || kind == StationKind::Mob || kind == StationKind::Epirb;
}

std::string SafetyText(const Identity& id) { return std::string(KindName(id.kind)) + (id.test ? " TEST" : " ACTIVE"); }

}  // namespace

const char* KindName(StationKind kind) {
    switch (kind) {
        case StationKind::ClassA: return "class A";
        case StationKind::ClassB: return "class B";
        case StationKind::BaseStation: return "base station";
        case StationKind::AidToNavigation: return "AtoN";
        case StationKind::SarAircraft: return "SAR aircraft";
        case StationKind::Sart: return "SART";
        case StationKind::Mob: return "MOB";
        case StationKind::Epirb: return "EPIRB";
    }
    return "class A";
}

double ReportingInterval(StationKind kind, double knots, bool turning, int status) {
    switch (kind) {
        case StationKind::ClassA:
            if ((status == 1 || status == 5) && knots <= 3) {
                return 180;  // at anchor or moored, not moving faster than 3 knots
            }
            if (knots > 23) {
                return 2;
            }
            if (knots > 14) {
                return turning ? 2 : 6;
            }
            return turning ? 10.0 / 3 : 10;
        case StationKind::ClassB:
            return knots > 2 ? 30 : 180;
        case StationKind::BaseStation:
        case StationKind::SarAircraft:
            return 10;
        case StationKind::AidToNavigation:
            return 180;
        case StationKind::Sart:
        case StationKind::Mob:
        case StationKind::Epirb:
            return 60;  // a burst of eight a minute
    }
    return 10;
}

void Transponder::Transmit(const Message& message, std::string& out) {
    const Bits bits = Encode(message);
    Framing framing{.channel = channel_, .own = id_.own, .sequence = sequence_};
    if (bits.Size() > kMaxPayload * 6) {
        sequence_ = (sequence_ + 1) % 10;
    }
    AppendSentences(out, bits, framing);
    channel_ = channel_ == 'A' ? 'B' : 'A';
}

Message Transponder::PositionReport(const Situation& s) const {
    const std::optional<double> knots = s.knots;
    const std::optional<int> heading =
        s.heading ? std::optional(static_cast<int>(std::lround(*s.heading)) % 360) : std::nullopt;
    switch (id_.kind) {
        case StationKind::ClassB:
            return PositionReportB{
                .mmsi = id_.mmsi,
                .movement = {.speed = knots, .position = s.position, .course = s.course, .heading = heading,
                             .second = s.second}};
        case StationKind::BaseStation:
            return BaseStationReport{.mmsi = id_.mmsi, .year = s.year, .month = s.month, .day = s.day,
                                     .hour = s.hour, .minute = s.minute, .second = s.second, .position = s.position};
        case StationKind::AidToNavigation:
            return AidToNavigation{.mmsi = id_.mmsi, .aidType = id_.aidType, .name = id_.name,
                                   .position = s.position, .dimensions = id_.dimensions, .second = s.second,
                                   .virtualAid = id_.virtualAid};
        case StationKind::SarAircraft:
            return SarAircraftReport{.mmsi = id_.mmsi, .altitude = static_cast<int>(std::lround(s.altitude)),
                                     .speed = knots, .position = s.position, .course = s.course,
                                     .second = s.second};
        default: {
            // A class A ship; a safety device reports as one, active (14) or in test (15).
            const bool device = SafetyDevice(id_.kind);
            return PositionReportA{
                .type = 1,
                .mmsi = id_.mmsi,
                .status = device ? (id_.test ? 15 : 14) : id_.status,
                .rateOfTurn = device ? std::nullopt : std::optional(s.rateOfTurn * 60),
                .movement = {.speed = knots, .position = s.position, .course = s.course,
                             .heading = device ? std::nullopt : heading, .second = s.second}};
        }
    }
}

void Transponder::SendStatic(const Situation& now, std::string& out) {
    (void)now;
    switch (id_.kind) {
        case StationKind::ClassA:
            Transmit(StaticAndVoyage{.mmsi = id_.mmsi, .imo = id_.imo, .callSign = id_.callSign, .name = id_.name,
                                     .destination = id_.destination, .shipType = id_.shipType,
                                     .dimensions = id_.dimensions, .etaMonth = id_.etaMonth, .etaDay = id_.etaDay,
                                     .etaHour = id_.etaHour, .etaMinute = id_.etaMinute, .draught = id_.draught},
                     out);
            break;
        case StationKind::ClassB:
            // Part B follows part A at once, well within the minute the
            // standard allows, and on its channel: a receiver that pairs the
            // parts by channel (gpsd does) names the ship.
            Transmit(StaticDataB{.mmsi = id_.mmsi, .name = id_.name, .vendor = "", .callSign = ""}, out);
            channel_ = channel_ == 'A' ? 'B' : 'A';
            // The unit's maker is this simulator, its serial number the MMSI's last digits.
            Transmit(StaticDataB{.mmsi = id_.mmsi, .partB = true, .name = "", .shipType = id_.shipType,
                                 .vendor = "KOV", .model = 1, .serial = id_.mmsi % 1'000'000,
                                 .callSign = id_.callSign, .dimensions = id_.dimensions},
                     out);
            break;
        default:
            break;  // the others' reports carry what they are
    }
}

void Transponder::Send(const Situation& now, std::string& out) {
    const bool turning = std::fabs(now.rateOfTurn) > 0;
    const double interval = id_.interval.value_or(ReportingInterval(id_.kind, now.knots, turning, id_.status));
    // Each report is due an interval after the last at the interval of now:
    // speeding up or turning brings it forward, slowing down puts it off.
    const auto report = [&](double at) {
        const Message message = PositionReport(now);
        for (int i = 0; i < (SafetyDevice(id_.kind) ? kBurst : 1); ++i) {
            Transmit(message, out);
            ++reports_;
        }
        lastReport_ = at;
    };
    if (!lastReport_) {
        report(now.elapsed);
    }
    for (int sent = 0; *lastReport_ + interval <= now.elapsed + 1e-9 && sent < kMostAnUpdate; ++sent) {
        report(*lastReport_ + interval);
    }
    if (*lastReport_ + interval <= now.elapsed) {
        lastReport_ = now.elapsed;  // too far behind: from now on
    }
    if (!nextStatic_ || *nextStatic_ <= now.elapsed + 1e-9) {
        SendStatic(now, out);
        nextStatic_ = now.elapsed + kStaticInterval;
    }
    if (SafetyDevice(id_.kind) && (!nextText_ || *nextText_ <= now.elapsed + 1e-9)) {
        Transmit(SafetyBroadcast{.mmsi = id_.mmsi, .text = SafetyText(id_)}, out);
        nextText_ = now.elapsed + kSafetyTextInterval;
    }
}

}  // namespace kovra::engine::ais
