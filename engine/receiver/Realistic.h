// A receiver that could exist: the sky computed for its time and place, the
// satellites it uses, the fix and the dilution that follow from them, and
// the NMEA 0183 4.11 sentences it sends. Built beside the library's own
// sentences, from the same receiver state.
#pragma once

#include <array>
#include <bitset>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/receiver/Instruments.h"
#include "engine/receiver/Models.h"
#include "engine/receiver/Nmea4.h"
#include "engine/receiver/PowerOn.h"
#include "engine/receiver/Receiver.h"
#include "engine/receiver/SentenceKinds.h"
#include "engine/receiver/Sky.h"
#include "engine/receiver/UbxNav.h"

namespace kovra::engine {

// A satellite given by hand; a list of them replaces the computed sky.
struct GivenSatellite {
    Gnss system = Gnss::Gps;
    int number = 0;
    int elevation = 0;
    int azimuth = 0;
    std::optional<int> snr;  // follows the elevation when not given
    bool used = true;
};

struct RealisticSettings {
    std::vector<Gnss> systems = {Gnss::Gps, Gnss::Glonass, Gnss::Galileo, Gnss::BeiDou};
    double elevationMask = 5;                    // degrees: lower satellites are in view but not used
    std::vector<OrbitingSatellite> almanac;      // GPS from an almanac instead of the nominal slots
    std::vector<GivenSatellite> given;           // not empty: the sky as given
    std::optional<double> pdop, hdop, vdop;      // forced instead of computed
    std::optional<int> fixQuality;               // forced GGA quality (0: no fix)
    std::optional<std::string> talker;           // forced talker of the position sentences
    std::optional<double> trueHeading;           // default: the course
    double routeInterval = 10;                   // seconds between WPL and RTE
    double arrivalRadiusNm = 0.1;                // of the destination's arrival circle (AAM, APB, RMB)
    // The vessel's own instruments as installed (what they read is the
    // world's), and the talker of all of them when one integrated system
    // speaks for them ("II").
    struct Instruments {
        double transducerOffset = 0;
        std::optional<std::string> talker;
        // Updates a second of each instrument (by kInstruments' order), at
        // most the receiver's; 0: with every update.
        std::array<double, instruments::kInstrumentCount> rates{};
    } instruments{};
    double rangeError = 2.5;                     // metres, one sigma, for GST
    // Metres per axis of noise on the reported position: GST then reports
    // it (the range error becomes σ·√2 / HDOP).
    std::optional<double> positionNoise;
    double geoidSeparation = 0;                  // metres, for GGA and the height the sky is seen from
    double magneticVariation = 0;                // degrees, east positive
    Kinds4 sentences = DefaultKinds4();
    std::vector<std::string> navMessages{};      // UBX NAV messages sent every update (u-blox models)
    Dialect dialect{};                           // how the receiver model writes them
    bool sbas = false;                           // SBAS satellites in the sky, with GPS
    bool sbasCorrections = false;                // their corrections received: a differential fix while one is used
    bool sbasCorrectionsUsed = true;             // … when the receiver is set to use them
    std::vector<Kind4> order{};                  // of an epoch's kinds, GSV among them; none: kNmea4Order
    Start start = Start::Fixed;                  // how the run begins: with a fix, or from power-on
    StartTimes startTimes{};
    int firmwareLeapSeconds = 18;                // UTC's offset from GPS time the firmware knows of
    std::optional<TDateTime> leapSecondAt{};     // a leap second inserted just before this midnight
    std::optional<int> weekBase{};               // the first GPS week the firmware's dates count from
    // What the receiver's line carries in one update (baud / 10 / rate);
    // 0 for no limit. A system's GSV group and the route's WPL and RTE wait
    // for room: one of them goes every update, more while they fit.
    std::size_t lineBytesPerUpdate = 0;
    // The model and its settings, which configuration commands change; the
    // run's rate and the line's baud, as commands read them.
    std::string model = "nmea4";
    std::vector<std::string> modelSettings{};
    double rate = 1;
    int baud = 9600;
};

// The order of an epoch this simulator sends (the route's sentences wait
// with the satellites in view for room on the line).
inline constexpr Kind4 kNmea4Order[] = {Kind4::RMC, Kind4::VTG, Kind4::GGA, Kind4::GNS, Kind4::GSA, Kind4::GSV,
                                        Kind4::GLL, Kind4::RMB, Kind4::BOD, Kind4::APB, Kind4::XTE, Kind4::BWC,
                                        Kind4::BWR, Kind4::GST, Kind4::HDT, Kind4::ZDA,
                                        // the vessel's instruments, on the bus after the GPS
                                        Kind4::HDG, Kind4::HDM, Kind4::THS, Kind4::ROT, Kind4::DPT, Kind4::DBT,
                                        Kind4::MWV, Kind4::MWD, Kind4::VHW, Kind4::VLW, Kind4::MTW};

// The sky plot of an epoch's satellites as an SVG picture, one colour per
// system: GPS blue, GLONASS red, Galileo green, BeiDou orange.
std::string SkyPlotOf(const nmea4::Epoch& epoch, std::int32_t radius);

class RealisticReceiver final : public Receiver {
public:
    explicit RealisticReceiver(RealisticSettings settings);

    // The sentences of one update. In an outage the receiver has no fix:
    // satellites in view without signal, no position, mode N.
    std::string Update(const ReceiverInput& input) override;
    ReportedFix Fix() const override;
    Running Configuration() const override;
    void Configure(const ReceiverChange& change) override;
    std::string SkyPlot(std::int32_t radius) const override { return SkyPlotOf(epoch_, radius); }
    // The epoch the last update reported.
    const nmea4::Epoch& LastEpoch() const { return epoch_; }
    const std::string& Model() const { return settings_.model; }
    const RealisticSettings& Settings() const { return settings_; }

private:
    void SetOutage(bool outage);
    bool SwitchedOff(Gnss system) const;
    // Sentences that wait for room on the line: one system's GSV group, or
    // the route's WPL and RTE.
    enum class Waiting : std::uint8_t { GsvGps, GsvGlonass, GsvGalileo, GsvBeiDou, Route };

    void ComputeSky(GpsSeconds t, double latitude, double longitude, double height);
    DecodedDateTime ReceiverTime(TDateTime utc, const PowerOnState& power) const;
    void Acquire(const PowerOnState& power);
    void DeriveFix();
    void Settle(const PowerOnState& power);
    void WriteSkySentences();
    void QueueRoute(const World& world, const Route* route, double elapsed);
    void AppendAAM(std::string& out) const;
    void AppendWaiting(std::string& out, std::size_t room);
    void AppendKind(std::string& out, Kind4 kind, const Route* route) const;
    // Whether the kind goes in this update: at its rate, or asked for once.
    bool Sends(Kind4 kind) const;
    void Restart(int how, double elapsed);
    void AppendNav(std::string& out, double sinceStart) const;
    std::span<const Kind4> Order() const;
    void ReadInstruments(const World& world, const Vessel& vessel, double elapsed);
    void AppendInstrument(std::string& out, Kind4 kind) const;
    void ScheduleInstruments(double elapsed);
    static std::vector<Kind4> OrderOf(const RealisticSettings& settings);
    const std::string& TextOf(Waiting waiting) const;

    RealisticSettings settings_;
    Constellation constellation_;
    std::optional<GpsSeconds> skyTime_;  // when the sky was last computed
    nmea4::Epoch epoch_;
    instruments::Reading reading_;        // what the vessel's instruments read this update
    std::array<bool, instruments::kInstrumentCount> instrumentDue_{};   // send with this update
    std::array<double, instruments::kInstrumentCount> instrumentNext_{};  // each one's next instant
    std::optional<double> readAt_;        // the elapsed time of the last reading, for the log's distance
    // GSA and each system's GSV change only with the sky: written then.
    std::string gsa_;
    std::array<std::string, 4> gsv_;
    std::string routeText_;              // WPL and RTE of the active route
    std::string routeSent_;              // the route last queued, to see it change
    double routeSentAt_ = 0;
    std::optional<double> lastGsv_;      // when the satellites in view last went
    std::deque<Waiting> waiting_;
    bool outage_ = false;
    std::vector<Gnss> systemsOff_;
    // As configuration commands set them: each kind every so many updates (0: off).
    std::array<int, static_cast<std::size_t>(Kind4::Count)> every_{};
    Kinds4 once_;
    std::uint64_t updates_ = 0;
    bool nmeaOut_ = true, ubxOut_ = false;
    const ReceiverModel& model_;     // as settings_.model names it
    std::vector<Kind4> order_;       // of an epoch's kinds
    bool ubx_;                       // speaks UBX as well (u-blox): its NAV messages go when asked for
    std::array<int, ubx::kNavMessageCount> navEvery_{};  // as the UBX table's NAV rows
    std::bitset<ubx::kNavMessageCount> navOnce_;         // polled: sent with the next epoch
    std::optional<int> restartAsked_;
    double poweredOnAt_ = 0;  // simulated seconds into the run
};

}  // namespace kovra::engine
