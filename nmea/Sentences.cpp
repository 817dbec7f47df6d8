#include "nmea/Sentences.h"

#include "core/KovraNMEAGenerator.h"
#include "nmea/Format.h"

namespace kovra::nmea {

namespace {

constexpr Extended kArrivalRadiusNauticalMiles = 0.1L;
constexpr int kGsaSlots = 12;
constexpr int kSatellitesPerGsv = 4;

void AppendPosition(std::string& out, const GeoPosition& p) {
    AppendLatitude(out, p.latDeg, p.latMin, p.latSec, p.latDir);
    out += ',';
    AppendLongitude(out, p.longDeg, p.longMin, p.longSec, p.longDir);
}

GeoPosition PositionOf(const TWayPoint& w) {
    return {w.Latitude_Degree(),  w.Latitude_Minute(),  w.Latitude_Second(),  w.Latitude_Direction(),
            w.Longitude_Degree(), w.Longitude_Minute(), w.Longitude_Second(), w.Longitude_Direction()};
}

// "A" when there is a fix; the oldest generation has no fix quality and always says "A".
char StatusLetter(const NavigationSnapshot& s) {
    return (!kProfile.hasFixQuality || s.fixQuality != 0) ? 'A' : 'V';
}

std::int32_t FixQualityField(const NavigationSnapshot& s) { return kProfile.hasFixQuality ? s.fixQuality : 1; }

// Calls visit(name, waypoint) for each name of the active route that names a
// waypoint; names without one are skipped.
template <typename Visit>
void ForEachRouteWayPoint(const NavigationSnapshot& s, Visit visit) {
    if (s.activeRoute == nullptr || s.wayPoints == nullptr) {
        return;
    }
    for (const std::string& name : s.activeRoute->WayPoints()) {
        if (const TWayPoint* w = s.wayPoints->GetByName(name)) {
            visit(name, *w);
        }
    }
}

}  // namespace

void AppendName(std::string& out, std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            const char escape[] = {'^', kHex[byte >> 4], kHex[byte & 0x0F]};
            out.append(escape, sizeof escape);
        } else {
            out += c;
        }
    }
}

Extended DistanceNauticalMiles(const GeoPosition& from, const GeoPosition& to) {
    using G = TKovraNMEAGenerator;
    return G::KmToNauticalMiles(G::Distance_KM(from.latDeg, from.latMin, from.latSec, from.latDir, from.longDeg,
                                               from.longMin, from.longSec, from.longDir, to.latDeg, to.latMin,
                                               to.latSec, to.latDir, to.longDeg, to.longMin, to.longSec, to.longDir));
}

void AppendGPZDA(std::string& out, const NavigationSnapshot&, const DecodedDateTime& utc) {
    const std::size_t start = out.size();
    out += "$GPZDA,";
    AppendUTCTime(out, utc);
    out += ',';
    AppendCommaSeparatedUTCDate(out, utc);
    out += ",00,00";
    CloseSentence(out, start);
}

void AppendGPGGA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc) {
    const std::size_t start = out.size();
    out += "$GPGGA,";
    AppendUTCTime(out, utc);
    out += ',';
    AppendPosition(out, s.position);
    out += ',';
    AppendInteger(out, FixQualityField(s));
    out += ',';
    AppendInteger(out, s.activeCount < kGsaSlots ? s.activeCount : kGsaSlots);
    out += ',';
    AppendRounded(out, s.hdop);
    out += ',';
    AppendRounded(out, s.altitude);
    out += ",M,";
    AppendRounded(out, s.geoHeight);
    out += ",M,,";
    CloseSentence(out, start);
}

void AppendGPGLL(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc) {
    const std::size_t start = out.size();
    out += "$GPGLL,";
    AppendPosition(out, s.position);
    out += ',';
    AppendUTCTime(out, utc);
    out += ',';
    out += StatusLetter(s);
    if constexpr (!kProfile.hasFixQuality) {
        out += ",A";  // the oldest generation adds a mode field
    }
    CloseSentence(out, start);
}

void AppendGPVTG(std::string& out, const NavigationSnapshot& s) {
    const std::size_t start = out.size();
    out += "$GPVTG,";
    AppendFloat(out, s.heading);
    out += ",T,";
    AppendRounded(out, s.magneticHeading);
    out += ",M,";
    const double knots = RRound(static_cast<double>(s.speed));
    AppendFloat(out, knots);
    out += ",N,";
    AppendFloat(out, TKovraNMEAGenerator::KnotsToKmh(knots));
    out += ",K,A";
    CloseSentence(out, start);
}

void AppendGPRMC(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc) {
    const std::size_t start = out.size();
    out += "$GPRMC,";
    AppendUTCTime(out, utc);
    out += ',';
    out += StatusLetter(s);
    out += ',';
    AppendPosition(out, s.position);
    out += ',';
    AppendRounded(out, s.speed);
    out += ',';
    AppendRounded(out, s.heading);
    out += ',';
    AppendUTCDate(out, utc);
    out += ',';
    AppendRounded(out, s.magneticVariation);
    out += ',';
    out += MagneticVariationDirectionText(s.magneticVariationDirection);
    out += ",A";
    CloseSentence(out, start);
}

void AppendGPGSA(std::string& out, const NavigationSnapshot& s) {
    const std::size_t start = out.size();
    out += "$GPGSA,A,3,";
    for (int slot = 0; slot < kGsaSlots; ++slot) {
        if (slot < s.activeCount) {
            AppendInteger(out, s.activeSatellites[static_cast<std::size_t>(slot)].prn);
        }
        out += ',';
    }
    AppendRounded(out, s.pdop);
    out += ',';
    AppendRounded(out, s.hdop);
    out += ',';
    AppendRounded(out, s.vdop);
    CloseSentence(out, start);
}

void AppendGPGSV(std::string& out, const NavigationSnapshot& s) {
    const int messages = (s.activeCount + kSatellitesPerGsv - 1) / kSatellitesPerGsv;
    std::size_t start = 0;
    for (int i = 0; i < s.activeCount; ++i) {
        if (i % kSatellitesPerGsv == 0) {
            start = out.size();
            out += "$GPGSV,";
            AppendInteger(out, messages);
            out += ',';
            AppendInteger(out, i / kSatellitesPerGsv + 1);
            out += ',';
            AppendInteger(out, s.activeCount);
            out += ',';
        }
        const SatelliteView& sat = s.activeSatellites[static_cast<std::size_t>(i)];
        AppendInteger(out, sat.prn);
        out += ',';
        AppendInteger(out, sat.elevation);
        out += ',';
        AppendInteger(out, sat.azimuth);
        out += ',';
        AppendInteger(out, sat.snr);
        if (i % kSatellitesPerGsv == kSatellitesPerGsv - 1 || i == s.activeCount - 1) {
            CloseSentence(out, start);
        } else {
            out += ',';
        }
    }
}

void AppendGPWPL(std::string& out, const NavigationSnapshot& s) {
    ForEachRouteWayPoint(s, [&](const std::string&, const TWayPoint& w) {
        const std::size_t start = out.size();
        out += "$GPWPL,";
        AppendPosition(out, PositionOf(w));
        out += ',';
        AppendName(out, w.Name());
        CloseSentence(out, start);
    });
}

void AppendGPRTE(std::string& out, const NavigationSnapshot& s) {
    if (s.activeRoute == nullptr) {
        return;
    }
    const std::size_t start = out.size();
    out += "$GPRTE,1,1,C,";
    AppendName(out, s.activeRoute->Name());
    out += ',';
    const TNameList& names = s.activeRoute->WayPoints();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        AppendName(out, names[i]);
    }
    CloseSentence(out, start);
}

void AppendGPAAM(std::string& out, const NavigationSnapshot& s) {
    ForEachRouteWayPoint(s, [&](const std::string& name, const TWayPoint& w) {
        const Extended distance = DistanceNauticalMiles(s.position, PositionOf(w));
        if (!(distance <= kArrivalRadiusNauticalMiles)) {
            return;  // beyond the arrival circle, or not a number
        }
        const std::size_t start = out.size();
        out += "$GPAAM,A,A,";
        AppendRounded(out, distance);
        out += ",N,";
        AppendName(out, name);
        CloseSentence(out, start);
    });
}

void AppendNMEA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc, TNMEACommands commands) {
    using K = TNMEACommand;
    if (commands.Selects(K::GPZDA)) AppendGPZDA(out, s, utc);
    if (commands.Selects(K::GPGGA)) AppendGPGGA(out, s, utc);
    if (commands.Selects(K::GPGLL)) AppendGPGLL(out, s, utc);
    if (commands.Selects(K::GPVTG)) AppendGPVTG(out, s);
    if (commands.Selects(K::GPRMC)) AppendGPRMC(out, s, utc);
    if (commands.Selects(K::GPGSA)) AppendGPGSA(out, s);
    if (commands.Selects(K::GPGSV)) AppendGPGSV(out, s);
    if (commands.Selects(K::GPWPL)) AppendGPWPL(out, s);
    if (commands.Selects(K::GPRTE)) AppendGPRTE(out, s);
    if (commands.Selects(K::GPAAM)) AppendGPAAM(out, s);
}

}  // namespace kovra::nmea
