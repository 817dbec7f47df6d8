// The sky a receiver sees: satellites of four systems on Keplerian orbits
// (nominal constellations or a GPS almanac), their azimuth and elevation
// from the receiver's position on WGS84, and the dilution of precision of
// the ones it uses.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scenario/World.h"
#include "foundation/Types.h"

namespace kovra::engine {


// Seconds of GPS time since 6 January 1980 00:00:00.
using GpsSeconds = double;
inline constexpr double kSecondsPerWeek = 604'800;
// The Earth's rotation rate as IS-GPS-200 gives it, radians a second.
inline constexpr double kEarthRotation = 7.2921151467e-5;

// GPS time of a UTC date-time (leap seconds from 1981 to 2017 applied).
GpsSeconds GpsTimeFromUtc(TDateTime utc);
// How many seconds UTC is behind GPS time at a UTC date-time.
int LeapSecondsAt(TDateTime utc);

// Keplerian elements at a reference time, in the form of the GPS almanac.
struct OrbitElements {
    double sqrtA = 0;                 // square root of the semi-major axis, √m
    double eccentricity = 0;
    double inclination = 0;           // rad
    double nodeLongitude = 0;         // longitude of the ascending node at the reference time, rad
    double rateOfRightAscension = 0;  // rad/s
    double argumentOfPerigee = 0;     // rad
    double meanAnomaly = 0;           // at the reference time, rad
    GpsSeconds reference = 0;         // the time of applicability
};

struct OrbitingSatellite {
    Gnss system = Gnss::Gps;
    int number = 0;  // the system's own: GPS PRN, GLONASS slot, Galileo and BeiDou PRN
    bool healthy = true;
    OrbitElements orbit;
};

// Earth-centred, Earth-fixed coordinates, metres.
struct Ecef {
    double x = 0;
    double y = 0;
    double z = 0;
};

// The almanac equations of IS-GPS-200 (the GPS signal document), step by step.
Ecef SatellitePosition(const OrbitElements& orbit, GpsSeconds t);

// The nominal constellation of a system: GPS the 24 slots of the Standard
// Positioning Service Performance Standard (55°, 26,559.7 km), GLONASS 24
// satellites in 3 planes (64.8°, 25,510 km), Galileo Walker 24/3/1 (56°,
// 29,600 km), BeiDou MEO Walker 24/3/1 (55°, 27,900 km).
std::vector<OrbitingSatellite> NominalConstellation(Gnss system);

// A GPS almanac in the YUMA text format. Its weeks count modulo 1024; each
// is taken as the full week nearest `near`. Throws SettingError naming
// `source` and the line of anything malformed.
std::vector<OrbitingSatellite> ReadYumaAlmanac(std::string_view text, std::string_view source, GpsSeconds near);

// One satellite as the receiver sees it.
struct SkySatellite {
    Gnss system = Gnss::Gps;
    int number = 0;
    double elevation = 0;  // degrees
    double azimuth = 0;    // degrees true, [0, 360)
    bool healthy = true;
};

// The satellites above the horizon of a receiver at latitude, longitude
// (degrees) and height (metres on WGS84) at time t.
std::vector<SkySatellite> SkyAt(std::span<const OrbitingSatellite> satellites, GpsSeconds t, double latitude,
                                double longitude, double height);

// Satellites whose orbits are placed again and again: what stays constant
// in an orbit is worked out once.
class Constellation {
public:
    explicit Constellation(std::vector<OrbitingSatellite> satellites);
    // As the free SkyAt.
    std::vector<SkySatellite> SkyAt(GpsSeconds t, double latitude, double longitude, double height) const;

private:
    struct Constants {
        double meanMotion = 0;      // rad/s
        double semiMajorAxis = 0;   // m
        double sinInclination = 0;
        double cosInclination = 0;
    };
    std::vector<OrbitingSatellite> satellites_;
    std::vector<Constants> constants_;
};

// The SBAS satellites, geostationary, as in service in 2020: WAAS 131
// (117° W), 133 (98° W), 138 (107.3° W); EGNOS 121 (5° W), 123 (31.5° E),
// 136 (5° E); GAGAN 127 (55° E), 128 (83° E), 132 (48° E); MSAS 137 (140° E).
// They are given as GPS satellites with their PRNs (120 to 158), above the
// horizon of the receiver at latitude, longitude and height.
std::vector<SkySatellite> SbasSkyAt(double latitude, double longitude, double height);
inline constexpr int kFirstSbasPrn = 120;

struct Dilution {
    double pdop = 0;
    double hdop = 0;
    double vdop = 0;
    // The east-north block of the inverse normal matrix, for error ellipses.
    double eastEast = 0;
    double northNorth = 0;
    double eastNorth = 0;
    double tdop = 0;  // of the receiver's clock (the first system's)
};

// The dilution of precision of a set of used satellites: the least-squares
// geometry matrix (east, north, up and one receiver clock term per system),
// PDOP, HDOP and VDOP from its inverse. None (all 0, false) when the
// geometry does not determine a position.
bool ComputeDilution(std::span<const SkySatellite> used, Dilution& dilution);

}  // namespace kovra::engine
