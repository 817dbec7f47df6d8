#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "TestSupport.h"
#include "generator/KovraNMEAGenerator.h"
#include "foundation/MessageBox.h"

namespace kovra {
namespace {

using test::ThrowsKovra;
using CP = TCardinalPoint;

template <typename G>
concept HasFixQuality = requires(G g) { g.FixQuality(); };
template <typename G>
concept HasGetSatellites = requires(G g) { g.GetSatellites(); };
template <typename G>
concept HasSatellitesProperty = requires(G g) { g.Satellites(); };

static_assert(HasFixQuality<TKovraNMEAGenerator> == kProfile.hasFixQuality);
static_assert(HasGetSatellites<TKovraNMEAGenerator> == kProfile.hasGetSatellites);
static_assert(HasSatellitesProperty<TKovraNMEAGenerator> == kProfile.hasSatellitesProperty);

TEST(GeneratorDefaults, NewGeneratorHoldsTheDocumentedState) {
    const TDateTime before = SystemUTCNow();
    TKovraNMEAGenerator g;
    const TDateTime after = SystemUTCNow();

    EXPECT_EQ(g.Latitude_Direction(), CP::cpNorth);
    EXPECT_EQ(g.Longitude_Direction(), CP::cpEast);
    EXPECT_EQ(g.Magnetic_Variation_Direction(), CP::cpWest);
    for (const Extended value : {Extended(g.Latitude_Degree()), Extended(g.Latitude_Minute()), g.Latitude_Second(),
                                 Extended(g.Longitude_Degree()), Extended(g.Longitude_Minute()),
                                 g.Longitude_Second(), g.Altitude(), g.Heading(), g.Speed(), g.PDOP(), g.HDOP(),
                                 g.VDOP(), g.Geo_Height(), g.Magnetic_Variation(), g.Magnetic_Heading()}) {
        EXPECT_EQ(value, 0);
    }
    [](auto& generator) {
        if constexpr (kProfile.hasFixQuality) {
            EXPECT_EQ(generator.FixQuality(), 0);
        }
    }(g);
    EXPECT_GE(g.UTCDateTime(), before);
    EXPECT_LE(g.UTCDateTime(), after);
    EXPECT_TRUE(g.UseSystemDateTime());
    EXPECT_FALSE(g.MessageAlert());
    EXPECT_EQ(g.Commands().Mask(), 2047);
    EXPECT_EQ(g.Version(), kProfile.version);
    EXPECT_EQ(g.WayPoints().Count(), 0);
    EXPECT_EQ(g.Routes().Count(), 0);
    EXPECT_EQ(g.Routes().ActiveRoute(), nullptr);
    const TSatelliteList all = g.GetSatellitesList();
    ASSERT_EQ(all.size(), 32U);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i]->PseudoRandomCode(), i + 1);
    }
}

TEST(GeneratorDefaults, VersionFollowsTheGeneration) {
    const double expected[] = {1.62, 1.6, 1.57};
    EXPECT_EQ(TKovraNMEAGenerator().Version(), expected[KOVRA_BUILD_PROFILE]);
}

// One validated property: values it must store and values it must refuse.
struct SetterCase {
    const char* property;
    std::function<void(TKovraNMEAGenerator&, Extended)> set;
    std::function<Extended(const TKovraNMEAGenerator&)> get;
    std::vector<Extended> accepted;
    std::vector<Extended> rejected;
    const char* message;
};

template <typename T>
SetterCase Case(const char* property, void (TKovraNMEAGenerator::*set)(T), T (TKovraNMEAGenerator::*get)() const,
                std::vector<Extended> accepted, std::vector<Extended> rejected, const char* message) {
    return {property,
            [set](TKovraNMEAGenerator& g, Extended v) { (g.*set)(static_cast<T>(v)); },
            [get](const TKovraNMEAGenerator& g) { return static_cast<Extended>((g.*get)()); },
            std::move(accepted), std::move(rejected), message};
}

constexpr Extended kNaN = std::numeric_limits<Extended>::quiet_NaN();
constexpr Extended kInf = std::numeric_limits<Extended>::infinity();
using G = TKovraNMEAGenerator;
constexpr auto N = Extended(CP::cpNorth), S = Extended(CP::cpSouth), E = Extended(CP::cpEast),
               W = Extended(CP::cpWest);

std::vector<SetterCase> SetterCases() {
    return {
        Case<std::int32_t>("Latitude_Degree", &G::Latitude_Degree, &G::Latitude_Degree, {90, 0, 45}, {91, -1},
                           "Latitude Degree must be between 0 and 90."),
        Case<std::int32_t>("Latitude_Minute", &G::Latitude_Minute, &G::Latitude_Minute, {59, 0}, {60, -1},
                           "Latitude Minute must be between 0 and 60."),
        Case<Extended>("Latitude_Second", &G::Latitude_Second, &G::Latitude_Second, {59.999L, 0, 12.5L},
                       {60, -0.001L, kNaN, kInf}, "Latitude Second must be between 0 and 60."),
        Case<CP>("Latitude_Direction", &G::Latitude_Direction, &G::Latitude_Direction, {S, N}, {E, W},
                 "Latitude Direction must be north or south."),
        Case<std::int32_t>("Longitude_Degree", &G::Longitude_Degree, &G::Longitude_Degree, {180, 0}, {181, -1},
                           "Longitude Degree must be between 0 and 180."),
        Case<std::int32_t>("Longitude_Minute", &G::Longitude_Minute, &G::Longitude_Minute, {59, 0}, {60, -1},
                           "Longitude Minute must be between 0 and 60."),
        Case<Extended>("Longitude_Second", &G::Longitude_Second, &G::Longitude_Second, {59.999L, 0},
                       {60, -0.001L, kNaN, -kInf}, "Longitude Second must be between 0 and 60."),
        Case<CP>("Longitude_Direction", &G::Longitude_Direction, &G::Longitude_Direction, {W, E}, {N, S},
                 "Longitude Direction must be east or west."),
        Case<Extended>("Heading", &G::Heading, &G::Heading, {359.99L, 0}, {360, -0.5L, kNaN, kInf},
                       "Heading must be between 0 and 360."),
        Case<Extended>("Magnetic_Heading", &G::Magnetic_Heading, &G::Magnetic_Heading, {359.99L, 0},
                       {360, -1, kNaN}, "Magnetic Heading must be between 0 and 360."),
        Case<Extended>("Magnetic_Variation", &G::Magnetic_Variation, &G::Magnetic_Variation, {99.95L, 0},
                       {100, -1, kNaN}, "Magnetic Variation must be between 0 and 99.9."),
        Case<CP>("Magnetic_Variation_Direction", &G::Magnetic_Variation_Direction, &G::Magnetic_Variation_Direction,
                 {E, W}, {N, S}, "Magnetic Variation Direction must be east or west."),
        Case<Extended>("HDOP", &G::HDOP, &G::HDOP, {99.99L, 0}, {100, -0.01L, kNaN, kInf},
                       "HDOP must be between 0 and 99.9."),
        Case<Extended>("VDOP", &G::VDOP, &G::VDOP, {99.99L, 0}, {100, -0.01L, kNaN},
                       "VDOP must be between 0 and 99.9."),
        Case<Extended>("PDOP", &G::PDOP, &G::PDOP, {99.99L, 0}, {100, -0.01L, kNaN},
                       "PDOP must be between 0 and 99.9."),
        // No range, but a finite number: an infinity would write "INF" into a
        // sentence or move the receiver nowhere.
        Case<Extended>("Altitude", &G::Altitude, &G::Altitude, {-12.345L, 1e20L}, {kNaN, kInf, -kInf},
                       "Altitude must be a number."),
        Case<Extended>("Speed", &G::Speed, &G::Speed, {-5, 0, 1e6L}, {kNaN, kInf, -kInf},
                       "Speed must be a number."),
        Case<Extended>("Geo_Height", &G::Geo_Height, &G::Geo_Height, {-100, 46.9L}, {kNaN, kInf},
                       "Geo_Height must be a number."),
        Case<double>("UTCDateTime", &G::UTCDateTime, &G::UTCDateTime, {0, -1.25, 37441.5}, {kNaN, kInf, -kInf},
                     "UTCDateTime must be a number."),
    };
}

TEST(GeneratorSetters, StoreValuesInRangeUnchangedAndRejectOthersKeepingTheOldValue) {
    for (const SetterCase& c : SetterCases()) {
        SCOPED_TRACE(c.property);
        TKovraNMEAGenerator g;
        for (const Extended value : c.accepted) {
            c.set(g, value);
            EXPECT_EQ(c.get(g), value);
        }
        const Extended kept = c.get(g);
        for (const Extended value : c.rejected) {
            EXPECT_TRUE(ThrowsKovra([&] { c.set(g, value); }, c.message));
            EXPECT_EQ(c.get(g), kept);
        }
    }
}

TEST(GeneratorSetters, UncheckedPropertiesStoreAnyValue) {
    TKovraNMEAGenerator g;
    g.Speed(-5);
    g.Altitude(-12.345L);
    g.Geo_Height(-1e20L);
    g.UTCDateTime(-3.5);
    g.Commands({});
    EXPECT_EQ(g.Speed(), -5);
    EXPECT_EQ(g.Altitude(), -12.345L);
    EXPECT_EQ(g.Geo_Height(), -1e20L);
    EXPECT_EQ(g.UTCDateTime(), -3.5);
    EXPECT_TRUE(g.Commands().Empty());
    [](auto& generator) {
        if constexpr (kProfile.hasFixQuality) {
            generator.FixQuality(7);
            EXPECT_EQ(generator.FixQuality(), 7);
            generator.FixQuality(-1);
            EXPECT_EQ(generator.FixQuality(), -1);
        }
    }(g);
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = SetMessageBoxHook([this](const TMessageString& message) { shown_.push_back(message); });
    }
    void TearDown() override { SetMessageBoxHook(previous_); }

    std::vector<TMessageString> shown_;
    TMessageBoxHook previous_;
};

TEST_F(MessageBoxTest, ShownOnlyWhenMessageAlertIsSetAndBeforeTheException) {
    TKovraNMEAGenerator g;
    EXPECT_TRUE(ThrowsKovra([&] { g.Latitude_Degree(91); }, "Latitude Degree must be between 0 and 90."));
    EXPECT_TRUE(shown_.empty());

    g.MessageAlert(true);
    bool shownBeforeThrow = false;
    try {
        g.HDOP(100);
    } catch (const EKovraNMEAException& e) {
        shownBeforeThrow = shown_.size() == 1 && shown_[0] == e.Message();
    }
    EXPECT_TRUE(shownBeforeThrow);
    EXPECT_EQ(shown_.at(0), ToMessage("HDOP must be between 0 and 99.9."));
}

TEST_F(MessageBoxTest, SatelliteAndWayPointValidatorsNeverShowIt) {
    TKovraNMEAGenerator g;
    g.MessageAlert(true);
    EXPECT_THROW(g.SetSatellite(33, true, 0, 0, 0), EKovraNMEAException);
    TWayPoint w("A");
    EXPECT_THROW(w.Latitude_Degree(91), EKovraNMEAException);
    EXPECT_TRUE(shown_.empty());
}

TEST(GeneratorOwnership, AssignedListsReplaceAndFreeTheHeldOnes) {
    TKovraNMEAGenerator g;
    auto waypoints = std::make_unique<TWayPoints>();
    ASSERT_TRUE(waypoints->Add(std::make_unique<TWayPoint>("W1")));
    TWayPoints* raw = waypoints.get();
    g.WayPoints(std::move(waypoints));
    EXPECT_EQ(&g.WayPoints(), raw);
    EXPECT_EQ(g.WayPoints().IndexOf("w1"), 0);

    auto routes = std::make_unique<TRoutes>();
    TRoutes* rawRoutes = routes.get();
    g.Routes(std::move(routes));
    EXPECT_EQ(&g.Routes(), rawRoutes);

    EXPECT_THROW(g.WayPoints(nullptr), std::invalid_argument);
    EXPECT_EQ(&g.WayPoints(), raw);
}

TEST(GeneratorOwnership, AnOwnerFreesTheGeneratorsItOwns) {
    auto owner = std::make_unique<TComponent>();
    TKovraNMEAGenerator& g = TKovraNMEAGenerator::Create(*owner);
    EXPECT_EQ(g.Owner(), owner.get());
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->Components(0), &g);
    EXPECT_THROW((void)owner->Components(1), std::out_of_range);

    std::unique_ptr<TComponent> back = owner->RemoveComponent(g);
    EXPECT_EQ(back.get(), &g);
    EXPECT_EQ(g.Owner(), nullptr);
    EXPECT_EQ(owner->ComponentCount(), 0);
    owner->InsertComponent(std::move(back));
    owner.reset();  // frees the generator; the address sanitizer run would flag a leak or a double free
}

TEST(NMEACommands, MaskKeepsElevenBitsAndAllNMEASelectsEveryKind) {
    EXPECT_EQ(TNMEACommands::FromMask(0xFFFF).Mask(), 0x07FF);
    const TNMEACommands some{TNMEACommand::GPRMC, TNMEACommand::GPZDA};
    EXPECT_EQ(some.Mask(), (1 << 3) | (1 << 6));
    EXPECT_TRUE(some.Selects(TNMEACommand::GPRMC));
    EXPECT_FALSE(some.Selects(TNMEACommand::GPGGA));
    const TNMEACommands all{TNMEACommand::AllNMEA};
    for (int kind = 0; kind <= 10; ++kind) {
        EXPECT_TRUE(all.Selects(static_cast<TNMEACommand>(kind)));
    }
}

}  // namespace
}  // namespace kovra
