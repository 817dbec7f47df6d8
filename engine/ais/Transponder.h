// What an AIS station sends and when: its reports at the intervals of
// ITU-R M.1371-5 (Annex 1, Table 1 and Table 2) by its class, speed and
// whether it is turning, its static data every six minutes, each
// transmission on the other channel than the last, each message of more
// than one sentence with the next sequential message ID.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/ais/Ais.h"

namespace kovra::engine::ais {

enum class StationKind : std::uint8_t { ClassA, ClassB, BaseStation, AidToNavigation, SarAircraft, Sart, Mob, Epirb };

// As a plotter's target list names it: "class A", "AtoN", "SART".
const char* KindName(StationKind kind);

struct Identity {
    StationKind kind = StationKind::ClassA;
    std::uint32_t mmsi = 0;
    std::string name{}, callSign{}, destination{};
    std::uint32_t imo = 0;
    int shipType = 0;
    Dimensions dimensions{};
    double draught = 0;
    int etaMonth = 0, etaDay = 0, etaHour = 24, etaMinute = 60;
    int status = 0;             // navigational status: 0 under way using engine, 1 at anchor, 5 moored
    int aidType = 0;            // an AtoN's
    bool virtualAid = false;
    bool test = false;          // a safety device's test, not an alarm
    std::optional<double> interval{};  // seconds between position reports, instead of the table's
    bool own = false;           // own ship: !AIVDO
};

// The station at one update.
struct Situation {
    double elapsed = 0;   // seconds from the start
    GeoPoint position;
    double course = 0, knots = 0;
    std::optional<double> heading{};
    double rateOfTurn = 0;  // degrees a second
    double altitude = 0;    // metres, a SAR aircraft's
    int second = 60;        // of the UTC minute
    int year = 0, month = 0, day = 0, hour = 24, minute = 60;  // UTC, for a base station
};

// Seconds between position reports, as the standard's tables give them.
double ReportingInterval(StationKind kind, double knots, bool turning, int status);

class Transponder {
public:
    explicit Transponder(Identity identity) : id_(std::move(identity)) {}

    // Appends what is due by now; the first call sends the position and the static data.
    void Send(const Situation& now, std::string& out);
    const Identity& Id() const { return id_; }
    // How many position reports have gone out.
    std::uint64_t Reports() const { return reports_; }

private:
    void Transmit(const Message& message, std::string& out);
    Message PositionReport(const Situation& now) const;
    void SendStatic(const Situation& now, std::string& out);

    Identity id_;
    std::optional<double> lastReport_, nextStatic_, nextText_;
    char channel_ = 'A';
    int sequence_ = 0;
    std::uint64_t reports_ = 0;
};

}  // namespace kovra::engine::ais
