#include "engine/receiver/Sky.h"

#include <GeographicLib/Geocentric.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "engine/run/Errors.h"
#include "foundation/DateTime.h"

namespace kovra::engine {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180;
// IS-GPS-200's value of the Earth's gravitational constant.
constexpr double kMu = 3.986005e14;            // m³/s²

// The days on which UTC fell one more second behind GPS time.
constexpr std::array<std::array<int, 3>, 18> kLeapSeconds = {{
    {1981, 7, 1}, {1982, 7, 1}, {1983, 7, 1}, {1985, 7, 1}, {1988, 1, 1}, {1990, 1, 1},
    {1991, 1, 1}, {1992, 7, 1}, {1993, 7, 1}, {1994, 7, 1}, {1996, 1, 1}, {1997, 7, 1},
    {1999, 1, 1}, {2006, 1, 1}, {2009, 1, 1}, {2012, 7, 1}, {2015, 7, 1}, {2017, 1, 1},
}};

const TDateTime kGpsEpoch = EncodeDateTime(1980, 1, 6);

// Seconds of a date-time since 30 December 1899, whole days counted away
// from the epoch as the date-time type counts them.
double SecondsOf(TDateTime t) {
    const double days = std::trunc(t);
    const double fraction = std::fabs(t - days);
    return (days < 0 ? days - fraction : days + fraction) * 86'400;
}

double Normalized(double radians) {
    double value = std::fmod(radians, 2 * kPi);
    return value < 0 ? value + 2 * kPi : value;
}

// Circular orbits of a nominal constellation, from the argument of latitude
// and right ascension of each satellite at an epoch whose Greenwich hour
// angle is known.
struct NominalPlan {
    double radius;       // m
    double inclination;  // degrees
    GpsSeconds epoch;
    double greenwichHourAngle;  // degrees, at the epoch
};

OrbitingSatellite Circular(Gnss system, int number, const NominalPlan& plan, double rightAscension,
                           double argumentOfLatitude) {
    OrbitingSatellite satellite;
    satellite.system = system;
    satellite.number = number;
    satellite.orbit.sqrtA = std::sqrt(plan.radius);
    satellite.orbit.inclination = plan.inclination * kDegree;
    satellite.orbit.nodeLongitude = (rightAscension - plan.greenwichHourAngle) * kDegree;
    satellite.orbit.meanAnomaly = argumentOfLatitude * kDegree;  // circular: perigee on the node
    satellite.orbit.reference = plan.epoch;
    return satellite;
}

// A Walker t/p/f pattern: p planes of t/p satellites, planes 360/p apart in
// right ascension, each satellite f·360/t ahead of its neighbour in the
// plane before.
std::vector<OrbitingSatellite> Walker(Gnss system, const NominalPlan& plan, int total, int planes, int phasing) {
    std::vector<OrbitingSatellite> satellites;
    const int perPlane = total / planes;
    for (int p = 0; p < planes; ++p) {
        for (int s = 0; s < perPlane; ++s) {
            const double rightAscension = 360.0 * p / planes;
            const double argument = 360.0 * s / perPlane + 360.0 * phasing * p / total;
            satellites.push_back(Circular(system, p * perPlane + s + 1, plan, rightAscension, argument));
        }
    }
    return satellites;
}

// The 24 slots of the GPS SPS Performance Standard at 0000Z, 1 July 1993
// (Greenwich hour angle 18 h 36 min 14.4 s): planes A to F by right
// ascension, four arguments of latitude each. PRNs are given in slot order.
std::vector<OrbitingSatellite> GpsBaseline() {
    constexpr double kRightAscension[6] = {272.847, 332.847, 32.847, 92.847, 152.847, 212.847};
    constexpr double kArgument[6][4] = {
        {268.126, 161.786, 11.676, 41.806},  {80.956, 173.336, 309.976, 204.376},
        {111.876, 11.796, 339.666, 241.556}, {135.226, 265.446, 35.156, 167.356},
        {197.046, 302.596, 66.066, 333.686}, {238.886, 345.226, 105.206, 135.346},
    };
    const NominalPlan plan{26'559'700, 55, GpsTimeFromUtc(EncodeDateTime(1993, 7, 1)), (18 + 36 / 60.0 + 14.4 / 3600) * 15};
    std::vector<OrbitingSatellite> satellites;
    for (int p = 0; p < 6; ++p) {
        for (int s = 0; s < 4; ++s) {
            satellites.push_back(Circular(Gnss::Gps, p * 4 + s + 1, plan, kRightAscension[p], kArgument[p][s]));
        }
    }
    return satellites;
}

// The Walker constellations start at 1 January 2000 with their first plane
// on the vernal equinox; the Greenwich hour angle then was 99.97°.
NominalPlan WalkerPlan(double radius, double inclination) {
    return {radius, inclination, GpsTimeFromUtc(EncodeDateTime(2000, 1, 1)), 99.97};
}

// Solves Kepler's equation M = E − e sin E by Newton's method.
double EccentricAnomaly(double meanAnomaly, double eccentricity) {
    double e = meanAnomaly;
    for (int i = 0; i < 20; ++i) {
        const double step = (e - eccentricity * std::sin(e) - meanAnomaly) / (1 - eccentricity * std::cos(e));
        e -= step;
        if (std::fabs(step) < 1e-13) {
            break;
        }
    }
    return e;
}

// The almanac equations from the mean anomaly on, with the semi-major axis
// a, the mean motion n0 and the inclination's sine and cosine given. The
// node's sine and cosine are kept between calls: satellites of one plane
// share them.
class Placer {
public:
    Ecef operator()(const OrbitElements& orbit, double a, double n0, double sinI, double cosI, GpsSeconds t) {
        const double tk = t - orbit.reference;                         // time from the reference
        const double mk = orbit.meanAnomaly + n0 * tk;                 // mean anomaly
        const double e = orbit.eccentricity;
        double nuk = mk, rk = a;                                       // true anomaly, radius: circular
        if (e != 0) {
            const double ek = EccentricAnomaly(mk, e);                 // eccentric anomaly
            const double sinE = std::sin(ek), cosE = std::cos(ek);
            nuk = std::atan2(std::sqrt(1 - e * e) * sinE, cosE - e);
            rk = a * (1 - e * cosE);
        }
        const double phik = nuk + orbit.argumentOfPerigee;             // argument of latitude
        const double xp = rk * std::cos(phik);                         // position in the orbital plane
        const double yp = rk * std::sin(phik);
        const double omegak = orbit.nodeLongitude + (orbit.rateOfRightAscension - kEarthRotation) * tk;  // node
        if (omegak != omega_) {
            omega_ = omegak;
            sinO_ = std::sin(omegak);
            cosO_ = std::cos(omegak);
        }
        return {xp * cosO_ - yp * cosI * sinO_, xp * sinO_ + yp * cosI * cosO_, yp * sinI};
    }

private:
    double omega_ = std::numeric_limits<double>::quiet_NaN();
    double sinO_ = 0;
    double cosO_ = 0;
};

// Sine and cosine of an angle in degrees; whole degrees, as GSV writes
// them, from a table.
std::pair<double, double> SinCosDegrees(double degrees) {
    static const auto kTable = [] {
        std::array<std::pair<double, double>, 360> table{};
        for (std::size_t d = 0; d < table.size(); ++d) {
            table[d] = {std::sin(static_cast<double>(d) * kDegree), std::cos(static_cast<double>(d) * kDegree)};
        }
        return table;
    }();
    if (degrees >= 0 && degrees < 360 && degrees == std::floor(degrees)) {
        return kTable[static_cast<std::size_t>(degrees)];
    }
    return {std::sin(degrees * kDegree), std::cos(degrees * kDegree)};
}

}  // namespace

int LeapSecondsAt(TDateTime utc) {
    // The leap-second days as date-times, worked out once: this runs every update.
    static const std::array<TDateTime, kLeapSeconds.size()> kLeapDays = [] {
        std::array<TDateTime, kLeapSeconds.size()> days{};
        for (std::size_t i = 0; i < days.size(); ++i) {
            days[i] = EncodeDateTime(kLeapSeconds[i][0], kLeapSeconds[i][1], kLeapSeconds[i][2]);
        }
        return days;
    }();
    return static_cast<int>(std::count_if(kLeapDays.begin(), kLeapDays.end(), [utc](TDateTime day) { return utc >= day; }));
}

GpsSeconds GpsTimeFromUtc(TDateTime utc) {
    return SecondsOf(utc) - SecondsOf(kGpsEpoch) + static_cast<double>(LeapSecondsAt(utc));
}

Ecef SatellitePosition(const OrbitElements& orbit, GpsSeconds t) {
    const double a = orbit.sqrtA * orbit.sqrtA;                        // semi-major axis
    const double n0 = std::sqrt(kMu / (a * a * a));                    // mean motion
    return Placer()(orbit, a, n0, std::sin(orbit.inclination), std::cos(orbit.inclination), t);
}

std::vector<OrbitingSatellite> NominalConstellation(Gnss system) {
    switch (system) {
        case Gnss::Gps:
            return GpsBaseline();
        case Gnss::Glonass:
            return Walker(Gnss::Glonass, WalkerPlan(25'510'000, 64.8), 24, 3, 1);
        case Gnss::Galileo:
            return Walker(Gnss::Galileo, WalkerPlan(29'600'000, 56), 24, 3, 1);
        case Gnss::BeiDou:
            return Walker(Gnss::BeiDou, WalkerPlan(27'900'000, 55), 24, 3, 1);
    }
    return {};
}


std::vector<SkySatellite> SkyAt(std::span<const OrbitingSatellite> satellites, GpsSeconds t, double latitude,
                                double longitude, double height) {
    return Constellation({satellites.begin(), satellites.end()}).SkyAt(t, latitude, longitude, height);
}

Constellation::Constellation(std::vector<OrbitingSatellite> satellites) : satellites_(std::move(satellites)) {
    for (const OrbitingSatellite& s : satellites_) {
        const double a = s.orbit.sqrtA * s.orbit.sqrtA;
        constants_.push_back({std::sqrt(kMu / (a * a * a)), a, std::sin(s.orbit.inclination),
                              std::cos(s.orbit.inclination)});
    }
}

namespace {

// A receiver's place on WGS84, and where a satellite stands in its sky.
class Horizon {
public:
    Horizon(double latitude, double longitude, double height) : m_(9) {
        GeographicLib::Geocentric::WGS84().Forward(latitude, longitude, height, x0_, y0_, z0_, m_);
    }
    // The satellite at `p` as seen from here; none below the horizon.
    std::optional<SkySatellite> See(const Ecef& p, Gnss system, int number, bool healthy) const {
        const double dx = p.x - x0_, dy = p.y - y0_, dz = p.z - z0_;
        const double up = m_[2] * dx + m_[5] * dy + m_[8] * dz;
        if (up < 0) {
            return std::nullopt;
        }
        const double east = m_[0] * dx + m_[3] * dy + m_[6] * dz;
        const double north = m_[1] * dx + m_[4] * dy + m_[7] * dz;
        const double elevation = std::atan2(up, std::sqrt(east * east + north * north)) / kDegree;
        return SkySatellite{system, number, elevation, Normalized(std::atan2(east, north)) / kDegree, healthy};
    }

private:
    double x0_ = 0, y0_ = 0, z0_ = 0;
    std::vector<double> m_;  // east, north, up as columns in Earth-fixed axes
};

}  // namespace

std::vector<SkySatellite> Constellation::SkyAt(GpsSeconds t, double latitude, double longitude,
                                               double height) const {
    const Horizon horizon(latitude, longitude, height);
    std::vector<SkySatellite> sky;
    sky.reserve(satellites_.size());
    Placer place;
    for (std::size_t i = 0; i < satellites_.size(); ++i) {
        const OrbitingSatellite& satellite = satellites_[i];
        const Constants& c = constants_[i];
        const Ecef p = place(satellite.orbit, c.semiMajorAxis, c.meanMotion, c.sinInclination, c.cosInclination, t);
        if (const auto seen = horizon.See(p, satellite.system, satellite.number, satellite.healthy)) {
            sky.push_back(*seen);
        }
    }
    return sky;
}

std::vector<SkySatellite> SbasSkyAt(double latitude, double longitude, double height) {
    static constexpr struct {
        int prn;
        double longitude;
    } kSbas[] = {{121, -5},  {123, 31.5}, {127, 55},  {128, 83}, {131, -117},
                 {132, 48},  {133, -98},  {136, 5},   {137, 140}, {138, -107.3}};
    constexpr double kGeostationaryRadius = 42'164'172;  // metres from the Earth's centre
    const Horizon horizon(latitude, longitude, height);
    std::vector<SkySatellite> sky;
    for (const auto& s : kSbas) {
        const auto [sine, cosine] = SinCosDegrees(s.longitude < 0 ? s.longitude + 360 : s.longitude);
        if (const auto seen = horizon.See({kGeostationaryRadius * cosine, kGeostationaryRadius * sine, 0}, Gnss::Gps,
                                          s.prn, true)) {
            sky.push_back(*seen);
        }
    }
    return sky;
}

bool ComputeDilution(std::span<const SkySatellite> used, Dilution& dilution) {
    dilution = {};
    // Columns: east, north, up, then one clock term per system present.
    std::array<int, 5> clockColumn{};
    int columns = 3;
    for (const SkySatellite& s : used) {
        int& column = clockColumn[static_cast<std::size_t>(s.system)];
        if (column == 0) {
            column = columns++;
        }
    }
    if (static_cast<int>(used.size()) < columns) {
        return false;
    }
    // The normal matrix GᵀG, then its inverse by Gauss-Jordan elimination.
    constexpr int kMax = 7;
    double a[kMax][2 * kMax] = {};
    for (const SkySatellite& s : used) {
        const auto [sinEl, cosEl] = SinCosDegrees(s.elevation);
        const auto [sinAz, cosAz] = SinCosDegrees(s.azimuth);
        double row[kMax] = {};
        row[0] = cosEl * sinAz;
        row[1] = cosEl * cosAz;
        row[2] = sinEl;
        row[clockColumn[static_cast<std::size_t>(s.system)]] = 1;
        for (int i = 0; i < columns; ++i) {
            for (int j = i; j < columns; ++j) {
                a[i][j] += row[i] * row[j];
            }
        }
    }
    for (int i = 0; i < columns; ++i) {
        for (int j = 0; j < i; ++j) {
            a[i][j] = a[j][i];  // the normal matrix is symmetric
        }
    }
    for (int i = 0; i < columns; ++i) {
        a[i][columns + i] = 1;
    }
    for (int c = 0; c < columns; ++c) {
        int pivot = c;
        for (int r = c + 1; r < columns; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) {
                pivot = r;
            }
        }
        if (std::fabs(a[pivot][c]) < 1e-12) {
            return false;  // the geometry leaves the position undetermined
        }
        std::swap(a[pivot], a[c]);
        const double scale = a[c][c];
        for (int j = 0; j < 2 * columns; ++j) {
            a[c][j] /= scale;
        }
        for (int r = 0; r < columns; ++r) {
            if (r != c && a[r][c] != 0) {
                const double factor = a[r][c];
                for (int j = 0; j < 2 * columns; ++j) {
                    a[r][j] -= factor * a[c][j];
                }
            }
        }
    }
    const double qe = a[0][columns], qn = a[1][columns + 1], qu = a[2][columns + 2];
    const double qt = a[3][columns + 3];  // the first system's clock
    dilution = {std::sqrt(qe + qn + qu), std::sqrt(qe + qn), std::sqrt(qu), qe, qn, a[0][columns + 1], std::sqrt(qt)};
    return true;
}

}  // namespace kovra::engine
