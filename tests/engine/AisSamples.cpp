// One message of every AIS type the encoder knows, each as a line of its
// fields (JSON, the names the decoders check them by) and its sentences:
// what tests/engine/ais_decoders.py hands to two decoders no one here wrote.
#include <iostream>

#include <nlohmann/json.hpp>

#include "engine/ais/Ais.h"

using namespace kovra::engine;
using namespace kovra::engine::ais;
using Json = nlohmann::json;

namespace {

void Show(const Json& fields, const Message& message, Framing framing) {
    std::cout << "#" << fields.dump() << "\n" << Sentences(message, framing);
}

}  // namespace

int main() {
    const GeoPoint kiel{54.3312, 10.1581}, south{-33.8568, -151.2153};
    Show({{"type", 1}, {"mmsi", 211234560}, {"status", 0}, {"rot", 37},  // the code of 60 degrees a minute {"speed", 12.3}, {"accuracy", 1},
          {"lat", kiel.lat}, {"lon", kiel.lon}, {"course", 45.1}, {"heading", 44}, {"second", 17}},
         PositionReportA{.type = 1, .mmsi = 211234560, .status = 0, .rateOfTurn = 60.0,
                         .movement = {.speed = 12.3, .accurate = true, .position = kiel, .course = 45.1, .heading = 44,
                                      .second = 17}},
         {});
    // Nothing known: the not-available values, which the decoders give as none.
    Show({{"type", 3}, {"mmsi", 503123456}, {"status", 5}, {"rot", nullptr}, {"speed", nullptr}, {"accuracy", 0},
          {"lat", nullptr}, {"lon", nullptr}, {"course", nullptr}, {"heading", 511}, {"second", 60}},
         PositionReportA{.type = 3, .mmsi = 503123456, .status = 5}, {.channel = 'B'});
    Show({{"type", 2}, {"mmsi", 212000001}, {"status", 8}, {"rot", -37}, {"speed", 0.0}, {"lat", south.lat},
          {"lon", south.lon}, {"course", 359.9}, {"heading", 0}, {"second", 0}},
         PositionReportA{.type = 2, .mmsi = 212000001, .status = 8, .rateOfTurn = -60.0,
                         .movement = {.speed = 0.0, .position = south, .course = 359.9, .heading = 0, .second = 0}},
         {});
    Show({{"type", 4}, {"mmsi", 2190047}, {"year", 2026}, {"month", 12}, {"day", 8}, {"hour", 12}, {"minute", 0},
          {"second", 30}, {"lat", 55.7}, {"lon", 12.6}},
         BaseStationReport{.mmsi = 2190047, .year = 2026, .month = 12, .day = 8, .hour = 12, .minute = 0, .second = 30,
                           .position = GeoPoint{55.7, 12.6}},
         {});
    Show({{"type", 5}, {"mmsi", 211234560}, {"imo", 9134270}, {"callsign", "DABC7"}, {"shipname", "KIEL FERRY"},
          {"shiptype", 60}, {"to_bow", 120}, {"to_stern", 30}, {"to_port", 10}, {"to_starboard", 12},
          {"eta_month", 12}, {"eta_day", 9}, {"eta_hour", 7}, {"eta_minute", 30}, {"draught", 5.5},
          {"destination", "OSLO"}},
         StaticAndVoyage{.mmsi = 211234560, .imo = 9134270, .callSign = "DABC7", .name = "KIEL FERRY",
                         .destination = "OSLO", .shipType = 60, .dimensions = {120, 30, 10, 12}, .etaMonth = 12,
                         .etaDay = 9, .etaHour = 7, .etaMinute = 30, .draught = 5.5},
         {.sequence = 4});
    Show({{"type", 9}, {"mmsi", 111232511}, {"alt", 350}, {"speed", 140}, {"lat", kiel.lat}, {"lon", kiel.lon},
          {"course", 270.5}, {"second", 42}},
         SarAircraftReport{.mmsi = 111232511, .altitude = 350, .speed = 140.0, .position = kiel, .course = 270.5,
                           .second = 42},
         {});
    Show({{"type", 14}, {"mmsi", 970123456}, {"text", "SART ACTIVE"}},
         SafetyBroadcast{.mmsi = 970123456, .text = "SART ACTIVE"}, {});
    Show({{"type", 18}, {"mmsi", 338123456}, {"speed", 5.4}, {"lat", kiel.lat}, {"lon", kiel.lon},
          {"course", 181.2}, {"heading", 180}, {"second", 5}, {"cs", 1}},
         PositionReportB{.mmsi = 338123456,
                         .movement = {.speed = 5.4, .position = kiel, .course = 181.2, .heading = 180, .second = 5}},
         {.channel = 'B'});
    Show({{"type", 19}, {"mmsi", 338123457}, {"speed", 7.0}, {"lat", kiel.lat}, {"lon", kiel.lon},
          {"course", 90.0}, {"heading", 91}, {"second", 6}, {"shipname", "SAILOR"}, {"shiptype", 36},
          {"to_bow", 8}, {"to_stern", 4}, {"to_port", 2}, {"to_starboard", 2}},
         ExtendedReportB{.mmsi = 338123457,
                         .movement = {.speed = 7.0, .position = kiel, .course = 90.0, .heading = 91, .second = 6},
                         .name = "SAILOR", .shipType = 36, .dimensions = {8, 4, 2, 2}},
         {});
    Show({{"type", 21}, {"mmsi", 992111111}, {"aid_type", 19}, {"name", "KIEL LIGHTHOUSE NORTH PIER"},
          {"lat", 54.36}, {"lon", 10.19}, {"virtual_aid", 1}, {"off_position", 0}},
         AidToNavigation{.mmsi = 992111111, .aidType = 19, .name = "KIEL LIGHTHOUSE NORTH PIER",
                         .position = GeoPoint{54.36, 10.19}, .virtualAid = true},
         {});
    Show({{"type", 24}, {"mmsi", 338123458}, {"part", 0}, {"shipname", "DINGHY"}},
         StaticDataB{.mmsi = 338123458, .name = "DINGHY", .vendor = "", .callSign = ""}, {});
    Show({{"type", 24}, {"mmsi", 338123458}, {"part", 1}, {"shiptype", 37}, {"callsign", "DK1234"},
          {"to_bow", 3}, {"to_stern", 2}, {"to_port", 1}, {"to_starboard", 1}},
         StaticDataB{.mmsi = 338123458, .partB = true, .name = "", .shipType = 37, .vendor = "KOV", .model = 1,
                     .serial = 77,
                     .callSign = "DK1234", .dimensions = {3, 2, 1, 1}},
         {});
    return 0;
}
