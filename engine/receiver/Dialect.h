// How a receiver writes what the NMEA 0183 sentences leave open: the
// version's optional fields, the talkers, the empty fields. Plain data,
// read by the sentence builders; the default is this simulator's own.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/scenario/World.h"

namespace kovra::engine {

// How a receiver writes what the NMEA 0183 sentences leave open.
// RMC's navigational status (NMEA 4.10 on): none before 4.10, S (safe)
// while there is a fix and V without, or V always, as receivers that do not
// judge it write it.
enum class NavStatus : char { None = 0, ByFix = 'S', AlwaysNotValid = 'V' };

// The order a system's satellites go in GSV: by number, by elevation from
// the highest, or the tracked ones by elevation and then the others.
enum class GsvOrder : std::uint8_t { ByNumber, ByElevation, TrackedByElevation };

struct Dialect {
    int minuteDecimals = 5;     // of latitude and longitude (a high-precision mode: 7)
    int altitudeDecimals = 1;   // of GGA's altitude (a high-precision mode: 3)
    int timeDecimals = 2;       // of the time of day: 2 or 3
    int speedDecimals = 3;      // of speeds
    int dopDecimals = 2;        // of GGA's and GSA's dilutions
    int courseDecimals = 2;     // of courses
    bool timeOnlyWithFix = false;     // the time of day left empty until a fix (the date given)
    bool dopEmptyWithoutFix = false;  // the dilutions left empty without a fix, not 99.99
    bool variationWithoutFix = false; // RMC's magnetic variation also without a fix
    bool untrackedSnrZero = false;    // a satellite in view but not tracked: SNR 00, not empty
    // GSA's twelve fields as channels: a used satellite in the field of its
    // place among those in view, the others empty; false: used ones first.
    bool gsaSlotsByChannel = false;
    // Before a signal gives the time, the receiver's own clock, run from the
    // start of GPS time (5 January 1980 just before midnight, by the
    // firmware's leap seconds), as MTK firmware writes it; false: no time.
    bool clockFromGpsEpoch = false;
    // RMB and BOD also while no route is active, their fields empty, as a
    // receiver that always sends them; false: only with a route.
    bool navigationWithoutRoute = false;
    bool ggaUsedPadded = true;  // GGA's count of used satellites in two digits ("08")
    bool heightIn2D = true;     // GGA's altitude with a 2D fix (the height held); false: left empty
    bool unitsWithoutFix = true;  // GGA's "M" units without a fix; false: left empty with the numbers
    // While it has no fix yet, GSA lists the satellites used and GSA and GGA
    // the dilution of their geometry, as u-blox receivers do; false: 99.99.
    bool solutionBeforeFix = false;
    bool zdaZoneEmpty = false;  // ZDA's local zone left empty, not 00,00
    bool second60 = true;       // a leap second written as 23:59:60; false: 23:59:59 twice
    GsvOrder gsvOrder = GsvOrder::ByNumber;
    double gsvInterval = 0;     // seconds between GSV groups; 0: every update
    // GSA: one a system with the system's own talker (GPGSA, GLGSA), or all
    // with the combined talker (GNGSA), as one receiver of several systems.
    bool gsaCombinedTalker = false;
    bool gsaSystemId = true;    // NMEA 4.10 on: the system ID at the end of GSA
    bool gsvSignalId = true;    // NMEA 4.10 on: the signal ID at the end of GSV
    // Each system's signal ID (GPS, GLONASS, Galileo, BeiDou): L1 C/A, L1OF, E1, B1I.
    std::array<std::string_view, 4> signalIds{"1", "1", "7", "1"};
    // The order of the systems' GSA and GSV.
    std::array<Gnss, 4> systemOrder{Gnss::Gps, Gnss::Glonass, Gnss::Galileo, Gnss::BeiDou};
    std::string_view beidouTalker = "GB";  // of BeiDou's GSV: GB, or BD as older firmware writes it
    int gsvMostPerSystem = 0;   // the most satellites GSV lists a system, the lowest numbers; 0: all
    NavStatus rmcNavStatus = NavStatus::ByFix;
    // Below this speed (knots) the course over ground is left empty, as a
    // receiver that cannot tell a course while standing still; 0: always given.
    double courseEmptyBelowKnots = 0;
    bool magneticVariation = true;  // RMC's variation, VTG's magnetic course; false: left empty
    // The most used satellites GGA counts (the field's 00 to 12 of older
    // versions); 0: every one.
    int ggaMostUsed = 0;
    // GGA's differential reference station while the fix is differential
    // ("0000"); empty: left empty.
    std::string_view differentialStation = "";
    bool stationAlways = false;  // the station whatever the fix, as some receivers write it
    // A receiver of two bands sends a second GSV sequence a system, with the
    // signal IDs of its second signals (GPS, GLONASS, Galileo, BeiDou; an ID
    // may be empty, as some firmware writes it).
    bool secondBand = false;
    std::array<std::string_view, 4> secondSignalIds{};
};

}  // namespace kovra::engine
