#include "engine/receiver/Nmea4.h"

#include "engine/receiver/SentenceWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

#include "nmea/Format.h"
#include "nmea/Sentences.h"

namespace kovra::engine::nmea4 {

namespace {

using kovra::nmea::kMaxSentenceLength;
constexpr double kKmhPerKnot = 1.852;
constexpr Gnss kSystems[] = {Gnss::Gps, Gnss::Glonass, Gnss::Galileo, Gnss::BeiDou};

std::string Escaped(std::string_view name) {
    std::string text(3 * name.size(), '\0');
    const char* end = kovra::nmea::PutName(text.data(), name);
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

int UsedCount(const Epoch& e) {
    return static_cast<int>(std::count_if(e.satellites.begin(), e.satellites.end(),
                                          [](const Satellite& s) { return s.used; }));
}

std::vector<const Satellite*> InView(const Epoch& e, Gnss system) {
    std::vector<const Satellite*> view;
    view.reserve(e.satellites.size());
    for (const Satellite& s : e.satellites) {
        if (s.system == system) {
            view.push_back(&s);
        }
    }
    std::sort(view.begin(), view.end(), [](const Satellite* a, const Satellite* b) { return a->number < b->number; });
    return view;
}

// The side to steer to, back onto the leg: left when right of it; R when
// on it to the hundredth written.
char SteerTo(double crossTrackNm) { return crossTrackNm >= 0.005 ? 'L' : 'R'; }

double Degrees(double radians) { return radians * 180 / std::numbers::pi; }


}  // namespace

std::string_view TalkerOf(Gnss system) {
    switch (system) {
        case Gnss::Gps: return "GP";
        case Gnss::Glonass: return "GL";
        case Gnss::Galileo: return "GA";
        case Gnss::BeiDou: return "GB";
    }
    return "GN";
}

int NmeaNumber(Gnss system, int number) {
    constexpr int kSbasOffset = 87;  // SBAS PRN 120 is 33
    return system == Gnss::Glonass ? number + 64 : system == Gnss::Gps && number >= 120 ? number - kSbasOffset : number;
}

// Whether the course goes: with a fix, and fast enough for the dialect to tell one.
bool CourseKnown(const Epoch& e, const Dialect& d) { return e.Valid() && e.speedKnots >= d.courseEmptyBelowKnots; }

void AppendRMC(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "RMC");
    s.Time(e, d).Char(e.Valid() ? 'A' : 'V').Position(e, d.minuteDecimals);
    s.FixedOrEmpty(e.Valid(), e.speedKnots, d.speedDecimals);
    s.BearingOrEmpty(CourseKnown(e, d), e.course, d.courseDecimals).Date(e);
    if (e.magneticVariation && (e.Valid() || d.variationWithoutFix) && d.magneticVariation) {
        s.Fixed(std::fabs(*e.magneticVariation), 1).Char(*e.magneticVariation < 0 ? 'W' : 'E');
    } else {
        s.Empty(2);
    }
    s.Char(static_cast<char>(e.mode));
    if (d.rmcNavStatus != NavStatus::None) {
        s.Char(d.rmcNavStatus == NavStatus::ByFix && e.Valid() ? 'S' : 'V');
    }
}

void AppendGGA(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "GGA");
    const int used = d.ggaMostUsed > 0 ? std::min(UsedCount(e), d.ggaMostUsed) : UsedCount(e);
    s.Time(e, d).Position(e, d.minuteDecimals).Integer(e.quality);
    s.Padded(used, d.ggaUsedPadded ? 2 : 1).Dop(e.dop.hdop, e, d);
    const bool height = e.fix == FixType::ThreeD || (e.fix == FixType::TwoD && d.heightIn2D);
    const std::string_view metres = e.Valid() || d.unitsWithoutFix ? "M" : "";
    s.FixedOrEmpty(height, e.altitude, d.altitudeDecimals).Text(metres);
    s.FixedOrEmpty(e.Valid(), e.geoidSeparation, 1).Text(metres);
    s.Empty();  // the age of the corrections
    if ((e.quality == 2 || d.stationAlways) && !d.differentialStation.empty()) {
        s.Text(d.differentialStation);
    } else {
        s.Empty();
    }
}

void AppendGLL(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence(out, e.talker, "GLL").Position(e, d.minuteDecimals).Time(e, d).Char(e.Valid() ? 'A' : 'V').Char(static_cast<char>(e.mode));
}

void AppendVTG(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "VTG");
    if (!e.Valid()) {
        s.Empty().Char('T').Empty().Char('M').Empty().Char('N').Empty().Char('K').Char(static_cast<char>(e.mode));
        return;
    }
    const bool course = CourseKnown(e, d);
    s.BearingOrEmpty(course, e.course, d.courseDecimals).Char('T');
    s.BearingOrEmpty(course && e.magneticVariation.has_value() && d.magneticVariation,
                     e.course - e.magneticVariation.value_or(0) + 360, d.courseDecimals);
    s.Char('M').Fixed(e.speedKnots, d.speedDecimals).Char('N');
    s.Fixed(e.speedKnots * kKmhPerKnot, d.speedDecimals).Char('K');
    s.Char(static_cast<char>(e.mode));
}

void AppendGNS(std::string& out, const Epoch& e, const Dialect& d) {
    char modes[std::size(kSystems)];
    for (std::size_t i = 0; i < std::size(kSystems); ++i) {
        const bool used = std::any_of(e.satellites.begin(), e.satellites.end(),
                                      [&](const Satellite& s) { return s.system == kSystems[i] && s.used; });
        modes[i] = used && e.Valid() ? static_cast<char>(e.mode) : 'N';
    }
    Sentence s(out, e.talker, "GNS");
    s.Time(e, d).Position(e, d.minuteDecimals).Text(std::string_view(modes, std::size(modes)));
    s.Padded(UsedCount(e), 2);
    s.Dop(e.dop.hdop, e, d).FixedOrEmpty(e.Valid(), e.altitude, 1).FixedOrEmpty(e.Valid(), e.geoidSeparation, 1);
    s.Empty(2).Char(e.Valid() ? 'S' : 'V');
}

void AppendGSA(std::string& out, const Epoch& e, const Dialect& d) {
    // With nothing in view yet, one GSA all the same, of the first system.
    const bool none = e.satellites.empty();
    for (const Gnss system : d.systemOrder) {
        const std::vector<const Satellite*> view = InView(e, system);
        if (view.empty() && !(none && system == d.systemOrder.front())) {
            continue;
        }
        Sentence s(out, d.gsaCombinedTalker ? "GN" : TalkerOf(system), "GSA");
        s.Char('A').Integer(static_cast<int>(e.fix));
        int slots = 0;
        for (const Satellite* satellite : view) {
            if (slots == 12) {
                break;
            }
            if (satellite->used && (e.Valid() || d.solutionBeforeFix)) {
                s.Padded(NmeaNumber(system, satellite->number), 2);
                ++slots;
            } else if (d.gsaSlotsByChannel) {
                s.Empty();  // the channel of a satellite not used
                ++slots;
            }
        }
        s.Empty(12 - slots).Dop(e.dop.pdop, e, d).Dop(e.dop.hdop, e, d).Dop(e.dop.vdop, e, d);
        if (d.gsaSystemId) {
            s.Integer(static_cast<int>(system));
        }
    }
}

void AppendGSV(std::string& out, const Epoch& e, Gnss system, const Dialect& d) {
    std::vector<const Satellite*> view = InView(e, system);
    if (d.gsvMostPerSystem > 0 && view.size() > static_cast<std::size_t>(d.gsvMostPerSystem)) {
        view.resize(static_cast<std::size_t>(d.gsvMostPerSystem));
    }
    if (d.gsvOrder != GsvOrder::ByNumber) {
        const bool trackedFirst = d.gsvOrder == GsvOrder::TrackedByElevation;
        std::stable_sort(view.begin(), view.end(), [&](const Satellite* a, const Satellite* b) {
            if (trackedFirst && a->snr.has_value() != b->snr.has_value()) {
                return a->snr.has_value();
            }
            return a->elevation > b->elevation;
        });
    }
    const std::size_t messages = (view.size() + 3) / 4;
    const std::string_view firstSignal = d.signalIds[static_cast<std::size_t>(system) - 1];
    const std::string_view talker = system == Gnss::BeiDou ? d.beidouTalker : TalkerOf(system);
    const auto sequence = [&](bool second, std::string_view signal) {
        for (std::size_t m = 0; m < messages; ++m) {
            Sentence s(out, talker, "GSV");
            s.Integer(static_cast<long>(messages)).Integer(static_cast<long>(m + 1));
            s.Padded(static_cast<long>(view.size()), 2);
            for (std::size_t i = 4 * m; i < std::min(view.size(), 4 * m + 4); ++i) {
                const Satellite& satellite = *view[i];
                s.Padded(NmeaNumber(system, satellite.number), 2);
                if (satellite.placed) {
                    s.Padded(satellite.elevation, 2).Padded(satellite.azimuth, 3);
                } else {
                    s.Empty(2);  // tracked before its orbit is known
                }
                const std::optional<int> snr = second ? satellite.secondSnr : satellite.snr;
                if (snr || d.untrackedSnrZero) {
                    s.Padded(snr.value_or(0), 2);
                } else {
                    s.Empty();
                }
            }
            if (d.gsvSignalId) {
                s.Text(signal);
            }
        }
    };
    sequence(false, firstSignal);
    if (d.secondBand) {
        sequence(true, d.secondSignalIds[static_cast<std::size_t>(system) - 1]);
    }
}

void AppendGSV(std::string& out, const Epoch& e) {
    for (const Gnss system : kSystems) {
        AppendGSV(out, e, system);
    }
}

void AppendGST(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "GST");
    s.Time(e, d);
    if (!e.Valid()) {
        s.Empty(7);
        return;
    }
    // The error ellipse of the east-north covariance, scaled by the range error.
    const double sigma = e.rangeError;
    const double ee = e.dop.eastEast, nn = e.dop.northNorth, en = e.dop.eastNorth;
    const double mean = (ee + nn) / 2, spread = std::sqrt((ee - nn) * (ee - nn) / 4 + en * en);
    double orientation = Degrees(0.5 * std::atan2(2 * en, nn - ee));  // of the major axis, from true north
    if (orientation < 0) {
        orientation += 180;
    }
    s.Fixed(sigma, 1).Fixed(sigma * std::sqrt(mean + spread), 1).Fixed(sigma * std::sqrt(std::max(0.0, mean - spread)), 1);
    s.Fixed(orientation, 1).Fixed(sigma * std::sqrt(nn), 1).Fixed(sigma * std::sqrt(ee), 1).Fixed(sigma * e.dop.vdop, 1);
}

void AppendHDT(std::string& out, const Epoch& e) {
    Sentence(out, e.talker, "HDT").BearingOrEmpty(e.Valid(), e.trueHeading).Char('T');
}

void AppendZDA(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "ZDA");
    s.Time(e, d);
    if (e.timeKnown) {
        s.Padded(e.utc.day, 2).Padded(e.utc.month, 2).Padded(e.utc.year, 4);
    } else {
        s.Empty(3);
    }
    if (d.zdaZoneEmpty) {
        s.Empty(2);
    } else {
        s.Text("00").Text("00");
    }
}

// $--RMB,A,x.xx,a,c--c,c--c,llll.ll,a,yyyyy.yy,a,x.x,x.x,x.x,A,a
// Status, cross-track error (nautical miles, at most 9.99) and the side to
// steer to, origin and destination IDs, the destination's latitude and
// longitude, range (nautical miles), bearing (true) and closing velocity
// (knots) to it, arrival status (A: the circle entered or the
// perpendicular passed), mode. With no route: $--RMB,A,,,,,,,,,,,,A,a.
void AppendRMB(std::string& out, const Epoch& e, const Dialect& d) {
    constexpr double kMostCrossTrackNm = 9.99;
    Sentence s(out, e.talker, "RMB");
    s.Char(e.Valid() ? 'A' : 'V');
    if (!e.navigation) {
        s.Empty(11).Char('A').Char(static_cast<char>(e.mode));
        return;
    }
    const RouteLeg& leg = e.navigation->leg;
    const Approach& a = e.navigation->approach;
    if (e.Valid()) {
        s.Fixed(std::min(std::fabs(a.crossTrackNm), kMostCrossTrackNm), 2).Char(SteerTo(a.crossTrackNm));
    } else {
        s.Empty(2);
    }
    s.Name(leg.origin).Name(leg.destination);
    s.Angle(leg.to.lat, 2, 'N', 'S', d.minuteDecimals).Angle(leg.to.lon, 3, 'E', 'W', d.minuteDecimals);
    if (e.Valid()) {
        s.Fixed(a.rangeNm, 1).Bearing(a.bearing, 1).Fixed(a.closingKnots, 1);
    } else {
        s.Empty(3);
    }
    s.Char(e.Valid() && (a.inCircle || a.passedPerpendicular) ? 'A' : 'V').Char(static_cast<char>(e.mode));
}

// $--BOD,x.x,T,x.x,M,c--c,c--c
// Bearing from origin to destination, true and magnetic; the destination's
// ID, the origin's. With no route: $--BOD,,T,,M,,.
void AppendBOD(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "BOD");
    if (!e.navigation) {
        s.Empty().Char('T').Empty().Char('M').Empty(2);
        return;
    }
    const double bearing = e.navigation->approach.legBearing;
    const bool magnetic = e.magneticVariation.has_value() && d.magneticVariation;
    s.Bearing(bearing, 1).Char('T').BearingOrEmpty(magnetic, bearing - e.magneticVariation.value_or(0) + 360, 1);
    s.Char('M').Name(e.navigation->leg.destination).Name(e.navigation->leg.origin);
}

namespace {

// The cross-track error's size and the side to steer; empty without a fix.
Sentence& CrossTrack(Sentence& s, const Epoch& e, double crossTrackNm) {
    return e.Valid() ? s.Fixed(std::fabs(crossTrackNm), 2).Char(SteerTo(crossTrackNm)) : s.Empty(2);
}

}  // namespace

// $--APB,A,A,x.xx,a,N,A,A,x.x,T,c--c,x.x,T,x.x,T,a
// Both status flags A with a fix (V without), the cross-track error and the
// side to steer, the arrival circle entered and the perpendicular passed,
// the bearing origin to destination, the destination's ID, the bearing from
// here to it and the heading to steer (that bearing), all true; the mode.
void AppendAPB(std::string& out, const Epoch& e) {
    const Approach& a = e.navigation->approach;
    const char valid = e.Valid() ? 'A' : 'V';
    Sentence s(out, e.talker, "APB");
    s.Char(valid).Char(valid);
    CrossTrack(s, e, a.crossTrackNm).Char('N');
    s.Char(a.inCircle ? 'A' : 'V').Char(a.passedPerpendicular ? 'A' : 'V');
    s.Bearing(a.legBearing, 1).Char('T').Name(e.navigation->leg.destination);
    s.Bearing(a.bearing, 1).Char('T').Bearing(a.bearing, 1).Char('T').Char(static_cast<char>(e.mode));
}

// $--XTE,A,A,x.xx,a,N,a
void AppendXTE(std::string& out, const Epoch& e) {
    const double crossTrack = e.navigation->approach.crossTrackNm;
    const char valid = e.Valid() ? 'A' : 'V';
    Sentence s(out, e.talker, "XTE");
    s.Char(valid).Char(valid);
    CrossTrack(s, e, crossTrack).Char('N').Char(static_cast<char>(e.mode));
}

namespace {

// $--BWC/BWR,hhmmss.ss,llll.ll,a,yyyyy.yy,a,x.x,T,x.x,M,x.x,N,c--c,a
void AppendBearingToWaypoint(std::string& out, const Epoch& e, const Dialect& d, std::string_view kind,
                             double bearing, double rangeNm) {
    const RouteLeg& leg = e.navigation->leg;
    const bool magnetic = e.magneticVariation.has_value() && d.magneticVariation;
    Sentence s(out, e.talker, kind);
    s.Time(e, d).Angle(leg.to.lat, 2, 'N', 'S', d.minuteDecimals).Angle(leg.to.lon, 3, 'E', 'W', d.minuteDecimals);
    if (e.Valid()) {
        s.Bearing(bearing, 1).Char('T').BearingOrEmpty(magnetic, bearing - e.magneticVariation.value_or(0) + 360, 1);
        s.Char('M').Fixed(rangeNm, 2).Char('N');
    } else {
        s.Empty().Char('T').Empty().Char('M').Empty().Char('N');
    }
    s.Name(leg.destination).Char(static_cast<char>(e.mode));
}

}  // namespace

void AppendBWC(std::string& out, const Epoch& e, const Dialect& d) {
    const Approach& a = e.navigation->approach;
    AppendBearingToWaypoint(out, e, d, "BWC", a.bearing, a.rangeNm);
}

void AppendBWR(std::string& out, const Epoch& e, const Dialect& d) {
    const Approach& a = e.navigation->approach;
    AppendBearingToWaypoint(out, e, d, "BWR", a.rhumbBearing, a.rhumbRangeNm);
}

// $PGRME,x.x,M,x.x,M,x.x,M
// Estimated horizontal, vertical and spherical position errors, metres, as
// twice the range error scaled by the dilution; a held height's error is
// the receiver's 50 m. Empty without a fix.
void AppendPGRME(std::string& out, const Epoch& e) {
    constexpr double kHeldHeightError = 50;
    Sentence s(out, "P", "GRME");
    if (!e.Valid()) {
        s.Empty().Char('M').Empty().Char('M').Empty().Char('M');
        return;
    }
    const double horizontal = 2 * e.rangeError * e.dop.hdop;
    const double vertical = e.fix == FixType::ThreeD ? 2 * e.rangeError * e.dop.vdop : kHeldHeightError;
    s.Fixed(horizontal, 1).Char('M').Fixed(vertical, 1).Char('M').Fixed(std::hypot(horizontal, vertical), 1).Char('M');
}

// $PGRMZ,x,f,d
// Altitude in whole feet, the fix's dimension (1 none, 2 2D, 3 3D).
void AppendPGRMZ(std::string& out, const Epoch& e) {
    constexpr double kFeetPerMetre = 1 / 0.3048;
    Sentence s(out, "P", "GRMZ");
    if (e.Valid()) {
        s.Integer(std::lround(e.altitude * kFeetPerMetre));
    } else {
        s.Empty();
    }
    s.Char('f').Integer(static_cast<int>(e.fix));
}

void AppendWPL(std::string& out, std::string_view talker, std::string_view name, double latitude, double longitude) {
    Sentence(out, talker, "WPL").Angle(latitude, 2, 'N', 'S').Angle(longitude, 3, 'E', 'W').Name(name);
}

void AppendRTE(std::string& out, std::string_view talker, std::string_view route,
               const std::vector<std::string>& names) {
    const std::string routeName = Escaped(route);
    std::vector<std::string> escaped;
    for (const std::string& name : names) {
        escaped.push_back(Escaped(name));
    }
    // Fill each sentence with as many names as keep it within 82 characters
    // (a name too long to share one goes alone); the count of sentences
    // is part of every sentence, so the split is repeated until it holds.
    std::vector<std::vector<std::string>> parts;
    for (std::size_t digits = 1; digits <= 3; ++digits) {
        parts.assign(1, {});
        const std::size_t head = 1 + talker.size() + 4 + 2 * (digits + 1) + 2 + routeName.size();
        std::size_t length = head;
        for (const std::string& name : escaped) {
            if (!parts.back().empty() && length + 1 + name.size() + kFrame > kMaxSentenceLength) {
                parts.emplace_back();
                length = head;
            }
            parts.back().push_back(name);
            length += 1 + name.size();
        }
        if (std::to_string(parts.size()).size() <= digits) {
            break;
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Sentence s(out, talker, "RTE");
        s.Integer(static_cast<long>(parts.size())).Integer(static_cast<long>(i + 1)).Char('c').Text(routeName);
        for (const std::string& name : parts[i]) {
            s.Text(name);
        }
    }
}

void AppendAAM(std::string& out, std::string_view talker, bool entered, bool passed, double circle,
               std::string_view name) {
    Sentence(out, talker, "AAM").Char(entered ? 'A' : 'V').Char(passed ? 'A' : 'V').Fixed(circle, 2).Char('N').Name(name);
}

}  // namespace kovra::engine::nmea4
