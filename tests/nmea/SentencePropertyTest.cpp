// Many generated states through GetNMEA: every line is well framed, carries
// the right number of fields for its kind, and its numbers read back within
// the rounding the field allows.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

using CP = TCardinalPoint;

std::vector<std::string> Split(const std::string& body) {
    std::vector<std::string> fields;
    std::stringstream stream(body);
    std::string field;
    while (std::getline(stream, field, ',')) {
        fields.push_back(field);
    }
    if (!body.empty() && body.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

// Checks the frame and returns the fields of the body.
std::vector<std::string> CheckFrame(const std::string& line) {
    EXPECT_EQ(line.front(), '$');
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const std::size_t star = line.size() - 5;
    EXPECT_EQ(line[star], '*') << line;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        EXPECT_TRUE(c >= 0x20 && c != 0x7F) << "control byte inside " << line;
        sum ^= c;
    }
    EXPECT_EQ(std::stoul(line.substr(star + 1, 2), nullptr, 16), sum) << line;
    return Split(line.substr(0, star));
}

double Number(const std::string& text) { return std::stod(text); }

// ddmm.mmmmmm or dddmm.mmmmmm with its hemisphere, as signed decimal degrees.
double Coordinate(const std::string& text, const std::string& letter, int degreeDigits) {
    const double value = std::stoi(text.substr(0, static_cast<std::size_t>(degreeDigits))) +
                         Number(text.substr(static_cast<std::size_t>(degreeDigits))) / 60;
    return (letter == "S" || letter == "W") ? -value : value;
}

double Expected(int degree, int minute, Extended second, CP direction) {
    const double value = degree + minute / 60.0 + static_cast<double>(second) / 3600;
    return (direction == CP::cpSouth || direction == CP::cpWest) ? -value : value;
}

// RRound: half up for values >= 0, toward zero below.
void ExpectRounded(const std::string& field, Extended value) {
    const double tolerance = (value >= 0 ? 0.005 : 0.01) + 1e-9;
    EXPECT_NEAR(Number(field), static_cast<double>(value), tolerance);
}

TEST(SentenceProperties, EveryLineOfManyGeneratedStates) {
    std::mt19937 random(8122026);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    auto integer = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

    const std::map<std::string, std::size_t> fieldCounts = {
        {"$GPZDA", 7},  {"$GPGGA", 15}, {"$GPGLL", kProfile.hasFixQuality ? 7U : 8U},
        {"$GPVTG", 10}, {"$GPRMC", 13}, {"$GPGSA", 18}, {"$GPWPL", 6}, {"$GPAAM", 6}};

    for (int round = 0; round < 1500; ++round) {
        TKovraNMEAGenerator g;
        g.UseSystemDateTime(round % 2 == 0);
        g.UTCDateTime(uniform(0, 80000));
        g.Latitude_Degree(integer(0, 90));
        g.Latitude_Minute(integer(0, 59));
        g.Latitude_Second(uniform(0, 60));
        g.Latitude_Direction(integer(0, 1) ? CP::cpNorth : CP::cpSouth);
        g.Longitude_Degree(integer(0, 180));
        g.Longitude_Minute(integer(0, 59));
        g.Longitude_Second(uniform(0, 60));
        g.Longitude_Direction(integer(0, 1) ? CP::cpEast : CP::cpWest);
        g.Speed(uniform(-20, 600));
        g.Heading(uniform(0, 360));
        g.Magnetic_Heading(uniform(0, 360));
        g.Magnetic_Variation(uniform(0, 100));
        g.Altitude(uniform(-500, 20000));
        g.Geo_Height(uniform(-100, 100));
        g.PDOP(uniform(0, 100));
        g.HDOP(uniform(0, 100));
        g.VDOP(uniform(0, 100));
        const int active = integer(0, 32);
        for (int k = 0; k < active; ++k) {
            g.SetSatellite(static_cast<std::uint16_t>(integer(1, 32)), true, integer(0, 90), integer(0, 359),
                           integer(0, 99));
        }
        auto route = std::make_unique<TRoute>("R" + std::to_string(round));
        const int waypoints = integer(0, 5);
        for (int k = 0; k < waypoints; ++k) {
            auto w = std::make_unique<TWayPoint>("W" + std::to_string(k) + (k % 2 ? "\x01" : ""));
            w->Latitude_Degree(g.Latitude_Degree());
            w->Latitude_Minute(g.Latitude_Minute());
            w->Latitude_Direction(g.Latitude_Direction());
            w->Longitude_Degree(integer(0, 180));
            route->WayPoints().push_back(w->Name());
            (void)g.WayPoints().Add(std::move(w));
        }
        g.Routes().ActiveRoute(route.get());
        ASSERT_TRUE(g.Routes().Add(std::move(route)));

        const std::string text = g.GetNMEA();
        std::size_t start = 0;
        int gsvSatellites = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start) + 2;
            const std::string line = text.substr(start, end - start);
            start = end;
            const std::vector<std::string> f = CheckFrame(line);
            const std::string& kind = f[0];
            if (kind == "$GPGSV") {
                ASSERT_EQ((f.size() - 4) % 4, 0U) << line;
                EXPECT_EQ(std::stoi(f[3]), g.GetActiveSatellitesCount());
                gsvSatellites += static_cast<int>(f.size() - 4) / 4;
                continue;
            }
            if (kind == "$GPRTE") {
                EXPECT_EQ(f.size(), 5 + std::max<std::size_t>(g.Routes().ActiveRoute()->WayPoints().size(), 1));
                continue;
            }
            ASSERT_TRUE(fieldCounts.count(kind)) << line;
            ASSERT_EQ(f.size(), fieldCounts.at(kind)) << line;
            if (kind == "$GPGGA") {
                EXPECT_NEAR(Coordinate(f[2], f[3], 2),
                            Expected(g.Latitude_Degree(), g.Latitude_Minute(), g.Latitude_Second(),
                                     g.Latitude_Direction()),
                            1e-8);
                EXPECT_NEAR(Coordinate(f[4], f[5], 3),
                            Expected(g.Longitude_Degree(), g.Longitude_Minute(), g.Longitude_Second(),
                                     g.Longitude_Direction()),
                            1e-8);
                EXPECT_EQ(std::stoi(f[7]), std::min<int>(g.GetActiveSatellitesCount(), 12));
                ExpectRounded(f[8], g.HDOP());
                ExpectRounded(f[9], g.Altitude());
                ExpectRounded(f[11], g.Geo_Height());
            } else if (kind == "$GPRMC") {
                ExpectRounded(f[7], g.Speed());
                ExpectRounded(f[8], g.Heading());
                ExpectRounded(f[10], g.Magnetic_Variation());
            } else if (kind == "$GPVTG") {
                EXPECT_NEAR(Number(f[1]), static_cast<double>(g.Heading()), 1e-12 * 360);
                ExpectRounded(f[3], g.Magnetic_Heading());
                EXPECT_NEAR(Number(f[7]), Number(f[5]) / 0.5397, 1e-9);
            } else if (kind == "$GPGSA") {
                ExpectRounded(f[15], g.PDOP());
                ExpectRounded(f[17], g.VDOP());
            } else if (kind == "$GPAAM") {
                EXPECT_LE(Number(f[3]), 0.1);
            }
        }
        EXPECT_EQ(gsvSatellites, g.GetActiveSatellitesCount());
    }
}

}  // namespace
}  // namespace kovra
