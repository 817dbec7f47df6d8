// The configuration commands each receiver family takes, good and bad:
// the answer on the line (the L70 recording's own replies, u-blox's known
// acknowledgements) and what the receiver is asked to change.
#include <gtest/gtest.h>

#include "engine/input/Autopilot.h"
#include "engine/input/Commands.h"
#include "engine/input/Ubx.h"

namespace kovra::engine::input {
namespace {

const Firmware kL70{"AXN_2.51_3339_19071200,0002,QUECTEL-L70,1.0"};
const Firmware kM8{"ROM CORE 3.01 (107888)", "00080000", {"FWVER=SPG 3.01", "PROTVER=18.00", "GPS;GLO;GAL;BDS"}};
const Firmware kM9{"EXT CORE 4.04 (7f89f7)", "00190000", {"FWVER=SPG 4.04", "PROTVER=32.01", "MOD=NEO-M9N-0"}};

Running At10Hz() {
    Running p;
    p.mostRate = 10;
    p.kinds = {{"GGA", 1}, {"RMC", 1}, {"GSV", 1}};
    return p;
}

Answer Nmea(CommandSet set, const std::string& body, const Firmware& firmware = kL70) {
    return AnswerTo(set, {Frame::Kind::Nmea, body}, firmware, At10Hz());
}

Answer Ubx(const std::string& classIdPayload, const Firmware& firmware = kM8, const Running& present = At10Hz()) {
    return AnswerTo(CommandSet::Ublox, {Frame::Kind::Ubx, classIdPayload}, firmware, present);
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (const int b : bytes) {
        text += static_cast<char>(b);
    }
    return text;
}

std::string Kinds(const Answer& a) {
    std::string text;
    for (const KindRate& k : a.change.kinds) {
        text += (text.empty() ? "" : " ") + k.kind + "=" + std::to_string(k.every);
    }
    return text;
}

TEST(ReceiverCommands, MtkAcknowledgesEachWithItsFlag) {
    const std::string all19 = ",0,1,0,1,1,5,0,0,0,0,0,0,0,0,0,0,0,1,0";
    const struct {
        std::string body, reply;
        std::optional<double> rate;
        std::string kinds;
    } cases[] = {
        {"PMTK300,1000,0,0,0,0", "$PMTK001,300,3*33\r\n", 1.0, ""},  // the L70's own replies, as recorded
        {"PMTK314" + all19, "$PMTK001,314,3*36\r\n", {}, "GLL=0 RMC=1 VTG=0 GGA=1 GSA=1 GSV=5 GRS=0 GST=0 ZDA=1"},
        {"PMTK301,2", "$PMTK001,301,3*32\r\n", {}, ""},
        {"PMTK313,1", "$PMTK001,313,3*31\r\n", {}, ""},
        {"PMTK424", "$PMTK001,424,1*30\r\n", {}, ""},  // a command this firmware does not have
        {"PMTK605", "$PMTK705,AXN_2.51_3339_19071200,0002,QUECTEL-L70,1.0*32\r\n", {}, ""},
        {"PMTK220,200", "$PMTK001,220,3*30\r\n", 5.0, ""},
        {"PMTK220,50", "$PMTK001,220,2*31\r\n", {}, ""},     // 20 Hz: more than the receiver sends
        {"PMTK220,fast", "$PMTK001,220,2*31\r\n", {}, ""},
        {"PMTK314,0,1,6" + all19.substr(6), "$PMTK001,314,2*37\r\n", {}, ""},  // 6: beyond every fifth fix
        {"PMTK314,0,1", "$PMTK001,314,2*37\r\n", {}, ""},
    };
    for (const auto& c : cases) {
        const Answer a = Nmea(CommandSet::Mtk, c.body);
        EXPECT_TRUE(a.handled) << c.body;
        EXPECT_EQ(a.reply, c.reply) << c.body;
        EXPECT_EQ(a.change.rate, c.rate) << c.body;
        EXPECT_EQ(Kinds(a), c.kinds) << c.body;
    }
    EXPECT_EQ(Nmea(CommandSet::Mtk, "PMTK251,38400").change.baud, 38400);
    EXPECT_EQ(Nmea(CommandSet::Mtk, "PMTK251,12345").reply, "$PMTK001,251,2*37\r\n");
    EXPECT_TRUE(Nmea(CommandSet::Mtk, "PMTK314,-1").change.defaults);
    EXPECT_EQ(Nmea(CommandSet::Mtk, "PMTK313,0").change.settings, std::vector<std::string>{"PMTK313=0"});
    EXPECT_EQ(Nmea(CommandSet::Mtk, "PMTK103").change.restart, 2);
    EXPECT_EQ(Nmea(CommandSet::Mtk, "PMTK103").reply, "$PMTK010,001*2E\r\n");  // the start-up message
    EXPECT_FALSE(Nmea(CommandSet::Mtk, "PMTKX").handled);
    EXPECT_FALSE(Nmea(CommandSet::Mtk, "PSRF103,00,00,01,01").handled);  // another maker's
}

TEST(ReceiverCommands, SirfCasicAndPubxAreObeyedSilently) {
    const struct {
        CommandSet set;
        std::string body;
        bool handled;
        std::string kinds;
        std::optional<int> baud;
    } cases[] = {
        {CommandSet::Sirf, "PSRF103,00,00,05,01", true, "GGA=5", {}},
        {CommandSet::Sirf, "PSRF103,03,00,00,01", true, "GSV=0", {}},
        {CommandSet::Sirf, "PSRF103,07,00,01,01", false, "", {}},  // no such sentence
        {CommandSet::Sirf, "PSRF100,1,38400,8,1,0", true, "", 38400},
        {CommandSet::Sirf, "PSRF100,0,38400,8,1,0", false, "", {}},  // SiRF binary: not this model's
        {CommandSet::Casic, "PCAS01,3", true, "", 38400},
        {CommandSet::Casic, "PCAS01,9", false, "", {}},
        {CommandSet::Casic, "PCAS03,1,0,0,0,1,0,0,0", true, "GGA=1 GLL=0 GSA=0 GSV=0 RMC=1 VTG=0 ZDA=0", {}},
        {CommandSet::Casic, "PCAS03,1,,,,,,,", true, "GGA=1", {}},  // empty fields keep the others
        {CommandSet::Casic, "PCAS03,1,0,0,0,12,0,0,0", false, "", {}},
        {CommandSet::Ublox, "PUBX,40,GLL,0,0,0,0,0,0", true, "GLL=0", {}},
        {CommandSet::Ublox, "PUBX,40,GSV,0,5,0,0,0,0", true, "GSV=5", {}},
        {CommandSet::Ublox, "PUBX,41,1,0007,0003,115200,0", true, "", 115200},
        {CommandSet::Ublox, "PUBX,41,1,0007,0003,1200,0", false, "", {}},
        {CommandSet::None, "PMTK220,200", false, "", {}},
    };
    for (const auto& c : cases) {
        const Answer a = Nmea(c.set, c.body);
        EXPECT_EQ(a.handled, c.handled) << c.body;
        EXPECT_EQ(a.reply, "") << c.body;
        EXPECT_EQ(Kinds(a), c.kinds) << c.body;
        EXPECT_EQ(a.change.baud, c.baud) << c.body;
    }
    EXPECT_EQ(Nmea(CommandSet::Sirf, "PSRF103,04,01,00,01").change.once, std::vector<std::string>{"RMC"});
    EXPECT_EQ(Nmea(CommandSet::Casic, "PCAS02,200").change.rate, 5.0);
    EXPECT_FALSE(Nmea(CommandSet::Casic, "PCAS02,300").handled);
    EXPECT_EQ(Nmea(CommandSet::Casic, "PCAS10,2").change.restart, 2);
}

TEST(ReceiverCommands, UbloxAcknowledgesOrRefusesEachConfiguration) {
    const std::string ackRate = Bytes({0xB5, 0x62, 0x05, 0x01, 0x02, 0x00, 0x06, 0x08, 0x16, 0x3F});
    const std::string ackMsg = Bytes({0xB5, 0x62, 0x05, 0x01, 0x02, 0x00, 0x06, 0x01, 0x0F, 0x38});
    const std::string nakMsg = Bytes({0xB5, 0x62, 0x05, 0x00, 0x02, 0x00, 0x06, 0x01, 0x0E, 0x33});
    // CFG-RATE: 200 ms a measurement, a solution each: 5 Hz; 50 ms is beyond a 10 Hz receiver.
    Answer a = Ubx(Bytes({0x06, 0x08, 0xC8, 0x00, 0x01, 0x00, 0x01, 0x00}));
    EXPECT_EQ(a.change.rate, 5.0);
    EXPECT_EQ(a.reply, ackRate);
    a = Ubx(Bytes({0x06, 0x08, 0x32, 0x00, 0x01, 0x00, 0x01, 0x00}));
    EXPECT_FALSE(a.change.rate);
    EXPECT_EQ(a.reply.substr(0, 4), Bytes({0xB5, 0x62, 0x05, 0x00}));
    // CFG-MSG, short and long: GGA off, NAV-PVT every update on UART1 (the second of six ports).
    a = Ubx(Bytes({0x06, 0x01, 0xF0, 0x00, 0x00}));
    EXPECT_EQ(Kinds(a), "GGA=0");
    EXPECT_EQ(a.reply, ackMsg);
    a = Ubx(Bytes({0x06, 0x01, 0xF0, 0x03, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Kinds(a), "GSV=5");
    EXPECT_EQ(Kinds(Ubx(Bytes({0x06, 0x01, 0x01, 0x07, 0x01}))), "NAV-PVT=1");
    EXPECT_EQ(Ubx(Bytes({0x06, 0x01, 0x0B, 0x30, 0x01})).reply, nakMsg);  // a message this model has not
    // A poll of GSV's rate: CFG-MSG with six ports' rates, then the acknowledgement.
    a = Ubx(Bytes({0x06, 0x01, 0xF0, 0x03}));
    EXPECT_EQ(a.reply, UbxFrame(0x06, 0x01, Bytes({0xF0, 0x03, 0, 1, 0, 0, 0, 0})) + ackMsg);
    // CFG-PRT: UART1 at 115200 baud, UBX out only; another port is refused.
    std::string port = Bytes({0x06, 0x00, 0x01, 0, 0, 0, 0xD0, 0x08, 0, 0});
    PutLe(port, 115'200, 4);
    port += Bytes({0x07, 0x00, 0x01, 0x00, 0, 0, 0, 0});
    a = Ubx(port);
    EXPECT_EQ(a.change.baud, 115'200);
    EXPECT_EQ(a.change.ubxOut, true);
    EXPECT_EQ(a.change.nmeaOut, false);
    port[2] = 0x03;
    EXPECT_FALSE(Ubx(port).change.baud);
    // CFG-NMEA: version 4.10 and eight satellites a system, as the model's settings.
    a = Ubx(Bytes({0x06, 0x17, 0x00, 0x41, 0x08, 0x02}));
    EXPECT_EQ(a.change.settings, (std::vector<std::string>{"nmeaVersion=4.10", "numSV=8"}));
    EXPECT_TRUE(Ubx(Bytes({0x06, 0x17, 0x00, 0x42, 0x08, 0x02})).change.settings.empty());  // no such version
    EXPECT_EQ(Ubx(Bytes({0x06, 0x04, 0xFF, 0xFF, 0x02, 0x00})).change.restart, 2);        // CFG-RST cold
}

TEST(ReceiverCommands, MonVerAndTheKeyedConfigurationOfNewerFirmware) {
    const Answer version = Ubx(Bytes({0x0A, 0x04}));
    ASSERT_EQ(version.reply.size(), 6 + 40 + 3 * 30 + 2U);
    EXPECT_EQ(version.reply.substr(6, 22), "ROM CORE 3.01 (107888)");
    EXPECT_EQ(version.reply.substr(36, 8), "00080000");
    EXPECT_EQ(version.reply.substr(76, 13), "PROTVER=18.00");
    // CFG-VALSET: the measurement rate (100 ms: 10 Hz) and GGA off on UART1, at once or not at all.
    std::string set = Bytes({0x06, 0x8A, 0x00, 0x01, 0x00, 0x00});
    PutLe(set, 0x30210001, 4);
    PutLe(set, 100, 2);
    PutLe(set, 0x209100BB, 4);
    PutLe(set, 0, 1);
    Answer a = Ubx(set, kM9);
    EXPECT_EQ(a.change.rate, 10.0);
    EXPECT_EQ(Kinds(a), "GGA=0");
    EXPECT_EQ(a.reply, Bytes({0xB5, 0x62, 0x05, 0x01, 0x02, 0x00, 0x06, 0x8A, 0x98, 0xC1}));
    std::string unknown = set;
    PutLe(unknown, 0x10110013, 4);  // a key of the navigation engine: not this model's
    PutLe(unknown, 1, 1);
    a = Ubx(unknown, kM9);
    EXPECT_TRUE(a.change.kinds.empty() && !a.change.rate);
    EXPECT_EQ(a.reply.substr(0, 4), Bytes({0xB5, 0x62, 0x05, 0x00}));
    EXPECT_EQ(Ubx(set, kM8).reply.substr(0, 4), Bytes({0xB5, 0x62, 0x05, 0x00}));  // the M8 has no keys
    // CFG-VALGET of the rate and the baud: version 1, the layer, the values, then ACK.
    std::string get = Bytes({0x06, 0x8B, 0x00, 0x00, 0x00, 0x00});
    PutLe(get, 0x30210001, 4);
    PutLe(get, 0x40520001, 4);
    std::string values = Bytes({0x01, 0x00, 0x00, 0x00});
    PutLe(values, 0x30210001, 4);
    PutLe(values, 1000, 2);
    PutLe(values, 0x40520001, 4);
    PutLe(values, 9600, 4);
    EXPECT_EQ(Ubx(get, kM9).reply, UbxFrame(0x06, 0x8B, values) + Bytes({0xB5, 0x62, 0x05, 0x01, 0x02, 0x00, 0x06, 0x8B, 0x99, 0xC2}));
}

// What a plotter tells an autopilot: a heading to steer (true, or magnetic
// turned true by the variation), or a correction back onto the leg.
TEST(AutopilotSentences, EachGivesTheHelmItsOrder) {
    const struct {
        std::string body;
        std::optional<double> course;
        double correction;
    } cases[] = {
        {"ECAPB,A,A,0.10,R,N,V,V,011.0,T,DEST,012.0,T,013.0,T,A", 13.0, 0},   // heading to steer
        {"ECAPB,A,A,0.10,R,N,V,V,011.0,T,DEST,012.0,T,,,A", 12.0, 0},         // none: bearing to DEST
        {"ECAPB,A,A,0.10,R,N,V,V,011.0,M,DEST,012.0,M,358.0,M,A", 1.0, 0},    // magnetic, 3° east
        {"GPRMB,A,0.12,L,A,B,5401.000,N,01000.000,E,0.9,273.4,5.0,V,A", 273.4, 0},
        {"IIHSC,045.0,T,042.0,M", 45.0, 0},
        {"IIHSC,,T,042.0,M", 45.0, 0},
        {"ECXTE,A,A,0.05,R,N,A", std::nullopt, 5.0},   // ten degrees a tenth of a mile
        {"ECXTE,A,A,2.00,L,N,A", std::nullopt, -30.0},  // thirty at most
    };
    for (const auto& c : cases) {
        const std::optional<HelmOrder> order = HelmOrderOf({Frame::Kind::Nmea, c.body}, 3.0);
        ASSERT_TRUE(order) << c.body;
        EXPECT_EQ(order->from, c.body.substr(2, 3));
        ASSERT_EQ(order->course.has_value(), c.course.has_value()) << c.body;
        if (c.course) {
            EXPECT_NEAR(*order->course, *c.course, 1e-9) << c.body;
        }
        EXPECT_NEAR(order->correction, c.correction, 1e-9) << c.body;
    }
    for (const std::string body : {"ECAPB,V,A,0.10,R,N,V,V,011.0,T,DEST,012.0,T,013.0,T,A",  // not valid
                                   "GPRMB,V,0.12,L,A,B,5401.000,N,01000.000,E,0.9,273.4,5.0,V,A",
                                   "ECAPB,A,A,0.10,R,N,V,V,011.0,T,DEST,400.0,T,,,A", "IIHSC,,T,,M",
                                   "ECXTE,A,A,0.05,X,N,A", "GPRMC,120000,A", "PMTK220,200"}) {
        EXPECT_FALSE(HelmOrderOf({Frame::Kind::Nmea, body}, 3.0)) << body;
    }
}

}  // namespace
}  // namespace kovra::engine::input
