// The simulator's realistic output: NMEA 0183 version 4.11 sentences as a
// multi-system receiver sends them, built beside the library's own
// sentences (which stay exactly as they are). Each builder is a pure
// function of one epoch; every sentence is framed by the library's frame.
//
// Numbers are written as common receivers write them: latitude and
// longitude minutes to 5 decimals, time to hundredths of a second, speeds
// to 3 decimals, courses and headings to 2, DOPs to 2, altitude and geoid
// separation to 1, error estimates to 1.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/receiver/Dialect.h"
#include "engine/receiver/Sky.h"
#include "engine/scenario/Navigation.h"
#include "foundation/DateTime.h"

namespace kovra::engine::nmea4 {

// The fix type of GSA.
enum class FixType : int { None = 1, TwoD = 2, ThreeD = 3 };

// The mode indicator of RMC, GLL, VTG and GNS.
enum class Mode : char { Autonomous = 'A', Differential = 'D', Estimated = 'E', None = 'N' };

struct Satellite {
    Gnss system = Gnss::Gps;
    int number = 0;  // the system's own number (GLONASS: its slot)
    int elevation = 0;
    int azimuth = 0;
    std::optional<int> snr;  // none while not tracked
    bool used = false;
    std::optional<int> secondSnr{};  // on the second band of a receiver of two
    bool placed = true;  // its elevation and azimuth known (after a cold start, once its orbit is decoded)
};

// Everything one update reports.
struct Epoch {
    DecodedDateTime utc;
    FixType fix = FixType::None;
    Mode mode = Mode::None;
    int quality = 0;  // GGA: 0 none, 1 autonomous, 2 differential, 6 estimated
    double latitude = 0;   // degrees, south negative
    double longitude = 0;  // degrees, west negative
    double altitude = 0;   // metres above the geoid
    double geoidSeparation = 0;
    double speedKnots = 0;
    double course = 0;  // degrees true
    std::optional<double> magneticVariation;  // degrees, east positive
    double trueHeading = 0;
    Dilution dop;
    double rangeError = 0;  // metres, one sigma, for GST
    std::string talker = "GN";  // of the position sentences
    std::vector<Satellite> satellites;
    bool timeKnown = true;  // false after a cold start until the first signal gives it
    // The leg steered and how the vessel stands to it, while a route is active.
    struct Navigation {
        RouteLeg leg;
        Approach approach;
    };
    std::optional<Navigation> navigation{};

    bool Valid() const { return fix != FixType::None; }
};

// The talker of a system's own sentences: GP, GL, GA, GB.
std::string_view TalkerOf(Gnss system);
// The satellite number as NMEA 0183 4.11 writes it (GLONASS slots from 65,
// SBAS PRNs 120 to 158 as 33 to 71 among GPS).
int NmeaNumber(Gnss system, int number);

// Each as the dialect writes it; without one, as this simulator writes it.
void AppendRMC(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendRMC(std::string& out, const Epoch& e) { AppendRMC(out, e, Dialect{}); }
void AppendGGA(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendGGA(std::string& out, const Epoch& e) { AppendGGA(out, e, Dialect{}); }
void AppendGLL(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendGLL(std::string& out, const Epoch& e) { AppendGLL(out, e, Dialect{}); }
void AppendVTG(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendVTG(std::string& out, const Epoch& e) { AppendVTG(out, e, Dialect{}); }
void AppendGNS(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendGNS(std::string& out, const Epoch& e) { AppendGNS(out, e, Dialect{}); }
// One GSA per system that has satellites in view, with the system's own
// talker and ID, listing its used ones (gpsd, among others, reads the used
// satellites of a system from its own talker).
void AppendGSA(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendGSA(std::string& out, const Epoch& e) { AppendGSA(out, e, Dialect{}); }
// One GSV group per system, with the system's talker and signal ID.
void AppendGSV(std::string& out, const Epoch& e);
// The GSV group of one system; nothing when none of its satellites is in view.
void AppendGSV(std::string& out, const Epoch& e, Gnss system, const Dialect& d);
inline void AppendGSV(std::string& out, const Epoch& e, Gnss system) { AppendGSV(out, e, system, Dialect{}); }
void AppendGST(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendGST(std::string& out, const Epoch& e) { AppendGST(out, e, Dialect{}); }
void AppendHDT(std::string& out, const Epoch& e);
void AppendZDA(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendZDA(std::string& out, const Epoch& e) { AppendZDA(out, e, Dialect{}); }

// The route's leg: the cross-track error and the destination (RMB), the
// bearing from origin to destination (BOD). Without a leg the fields are
// left empty, as a receiver with no route active writes them.
void AppendRMB(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendRMB(std::string& out, const Epoch& e) { AppendRMB(out, e, Dialect{}); }
void AppendBOD(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendBOD(std::string& out, const Epoch& e) { AppendBOD(out, e, Dialect{}); }
// The leg for an autopilot: the cross-track error, the arrival flags and
// the bearings (APB); the cross-track error alone (XTE). The bearing and
// range to the destination along the great circle (BWC) and the rhumb line
// (BWR). Sent only while a leg is steered.
void AppendAPB(std::string& out, const Epoch& e);
void AppendXTE(std::string& out, const Epoch& e);
void AppendBWC(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendBWC(std::string& out, const Epoch& e) { AppendBWC(out, e, Dialect{}); }
void AppendBWR(std::string& out, const Epoch& e, const Dialect& d);
inline void AppendBWR(std::string& out, const Epoch& e) { AppendBWR(out, e, Dialect{}); }
// A receiver's estimate of its position error (PGRME) and its altitude in
// feet with the fix's dimension (PGRMZ), as proprietary sentences.
void AppendPGRME(std::string& out, const Epoch& e);
void AppendPGRMZ(std::string& out, const Epoch& e);

// A waypoint of the active route, as WPL.
void AppendWPL(std::string& out, std::string_view talker, std::string_view name, double latitude, double longitude);
// The route in as many RTE sentences as keep each within 82 characters.
void AppendRTE(std::string& out, std::string_view talker, std::string_view route,
               const std::vector<std::string>& names);
// Arrival at a waypoint within the arrival circle (nautical miles).
void AppendAAM(std::string& out, std::string_view talker, bool entered, bool passed, double circle,
               std::string_view name);

}  // namespace kovra::engine::nmea4
