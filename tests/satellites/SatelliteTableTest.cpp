#include <gtest/gtest.h>

#include "TestSupport.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

using test::ThrowsKovra;

struct Values {
    bool active;
    std::int32_t elevation, azimuth, snr;
};

Values Of(const TSatellite& s) { return {s.Active(), s.Elevation(), s.Azimuth(), s.SignalToNoiseRatio()}; }
bool operator==(const Values& a, const Values& b) {
    return a.active == b.active && a.elevation == b.elevation && a.azimuth == b.azimuth && a.snr == b.snr;
}

TEST(SatelliteTable, NewGeneratorHasNoActiveSatellite) {
    TKovraNMEAGenerator g;
    EXPECT_EQ(g.GetActiveSatellitesCount(), 0);
    EXPECT_TRUE(g.GetActiveSatellitesList().empty());
}

TEST(SatelliteTable, SetSatelliteStoresAndListsInPRNOrder) {
    TKovraNMEAGenerator g;
    g.SetSatellite(12, true, 78, 45, 35);
    g.SetSatellite(5, true, 45, 120, 40);
    g.SetSatellite(7, false, 10, 300, 8);
    const TSatelliteList active = g.GetActiveSatellitesList();
    ASSERT_EQ(active.size(), 2U);
    EXPECT_EQ(active[0]->PseudoRandomCode(), 5);
    EXPECT_TRUE(Of(*active[0]) == (Values{true, 45, 120, 40}));
    EXPECT_EQ(active[1]->PseudoRandomCode(), 12);
    EXPECT_EQ(g.GetActiveSatellitesCount(), 2);

    active[0]->Active(false);  // the list holds the generator's own satellites
    EXPECT_EQ(g.GetActiveSatellitesCount(), 1);
    EXPECT_EQ(g.GetSatellitesList()[4]->Elevation(), 45);
}

TEST(SatelliteTable, SetSatelliteChecksEverythingFirstInAFixedOrder) {
    TKovraNMEAGenerator g;
    g.SetSatellite(3, true, 10, 20, 30);
    struct Case {
        std::uint16_t prn;
        std::int32_t elevation, azimuth, snr;
        const char* message;
    };
    const Case cases[] = {
        {0, 0, 0, 0, "PseudoRandomCode must be between 1 and 32."},
        {33, 0, 0, 0, "PseudoRandomCode must be between 1 and 32."},
        {3, 91, 0, 0, "Elevation must be between 0 and 90."},
        {3, -1, 400, 0, "Elevation must be between 0 and 90."},
        {3, 0, 360, 0, "Azimuth must be between 0 and 360."},
        {3, 0, -1, 0, "Azimuth must be between 0 and 360."},
        {3, 0, 0, 100, "SignalToNoiseRatio must be between 0 and 99."},
        {3, 0, 0, -1, "SignalToNoiseRatio must be between 0 and 99."},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ThrowsKovra([&] { g.SetSatellite(c.prn, false, c.elevation, c.azimuth, c.snr); }, c.message));
        EXPECT_TRUE(Of(*g.GetSatellitesList()[2]) == (Values{true, 10, 20, 30}));
    }
    g.SetSatellite(32, true, 90, 359, 99);
    EXPECT_TRUE(Of(*g.GetSatellitesList()[31]) == (Values{true, 90, 359, 99}));
}

TEST(SatelliteTable, SatelliteSettersRejectOutOfRangeValues) {
    TSatellite s(9);
    s.Elevation(90);
    EXPECT_TRUE(ThrowsKovra([&] { s.Elevation(91); }, "Elevation must be between 0 and 90."));
    EXPECT_TRUE(ThrowsKovra([&] { s.Azimuth(360); }, "Azimuth must be between 0 and 360."));
    EXPECT_TRUE(ThrowsKovra([&] { s.SignalToNoiseRatio(100); }, "SignalToNoiseRatio must be between 0 and 99."));
    EXPECT_EQ(s.Elevation(), 90);
    EXPECT_TRUE(ThrowsKovra([] { TSatellite bad(0); }, "PseudoRandomCode must be between 1 and 32."));
    EXPECT_TRUE(ThrowsKovra([] { TSatellite bad(33); }, "PseudoRandomCode must be between 1 and 32."));
}

TEST(SatelliteTable, ResetClearsValuesButKeepsTheTable) {
    TKovraNMEAGenerator g;
    const TSatelliteList before = g.GetSatellitesList();
    g.SetSatellite(1, true, 1, 2, 3);
    g.SetSatellite(32, true, 4, 5, 6);
    g.ResetSatellites();
    EXPECT_EQ(g.GetActiveSatellitesCount(), 0);
    const TSatelliteList after = g.GetSatellitesList();
    EXPECT_EQ(after, before);
    for (const TSatellite* s : after) {
        EXPECT_TRUE(Of(*s) == (Values{false, 0, 0, 0}));
    }
}

TEST(SatelliteTable, OlderGenerationsHandOutTheWholeTable) {
    TKovraNMEAGenerator g;
    [](auto& generator) {
        if constexpr (kProfile.hasGetSatellites) {
            const TSatellites table = generator.GetSatellites();
            for (int prn = 1; prn <= 32; ++prn) {
                EXPECT_EQ(table[prn]->PseudoRandomCode(), prn);
            }
            EXPECT_THROW((void)table[0], std::out_of_range);
            EXPECT_THROW((void)table[33], std::out_of_range);
        }
        if constexpr (kProfile.hasSatellitesProperty) {
            EXPECT_EQ(generator.Satellites()[7], generator.GetSatellitesList()[6]);
        }
    }(g);
}

}  // namespace
}  // namespace kovra
