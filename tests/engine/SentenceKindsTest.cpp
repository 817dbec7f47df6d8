// The table of sentence kinds as the options read it: each profile's kinds
// in its own order, lists as users write them, and the kinds a profile
// does not send refused with what it does send.
#include <gtest/gtest.h>

#include "engine/receiver/SentenceKinds.h"
#include "engine/run/Errors.h"

namespace kovra::engine {
namespace {

using Names = std::vector<std::string>;

TEST(SentenceKinds, EachProfileListsItsOwnKindsInItsOwnOrder) {
    EXPECT_EQ(KindsOf(Profile::Classic), (Names{"ZDA", "GGA", "GLL", "VTG", "RMC", "GSA", "GSV", "WPL", "RTE", "AAM"}));
    EXPECT_EQ(KindsOf(Profile::Nmea4).size(), 30U);  // a receiver model's own only with it
    EXPECT_EQ(KindsOf(Profile::Nmea4, "garmin").size(), 32U);
    EXPECT_EQ(ParseKindList("RMC,PGRMZ", Profile::Nmea4, "garmin"), (Names{"RMC", "PGRMZ"}));
    EXPECT_EQ(DefaultKindsOf(Profile::Nmea4), (Names{"RMC", "GGA", "GLL", "VTG", "GSA", "GSV", "WPL", "RTE", "AAM"}));
    EXPECT_EQ(CommandsOf({"RMC", "GNS", "ZDA"}), (TNMEACommands{TNMEACommand::GPRMC, TNMEACommand::GPZDA}));
}

TEST(SentenceKinds, ListsAreReadAsUsersWriteThem) {
    const struct {
        std::string text;
        Profile profile;
        Names kinds;
    } cases[] = {
        {"rmc,GPGGA,GNgsa", Profile::Nmea4, {"RMC", "GGA", "GSA"}},
        {"RMC,rmc", Profile::Classic, {"RMC"}},
        {"ZDA,all", Profile::Classic, KindsOf(Profile::Classic)},
        {"GST", Profile::Nmea4, {"GST"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseKindList(c.text, c.profile), c.kinds) << c.text;
    }
}

TEST(SentenceKinds, AKindTheProfileDoesNotSendIsRefusedWithWhatItSends) {
    for (const auto& [text, profile, message] : {
             std::tuple{"GNS", Profile::Classic,
                        "unknown sentence kind 'GNS' (the classic profile sends "
                        "ZDA,GGA,GLL,VTG,RMC,GSA,GSV,WPL,RTE,AAM or ALL; AIS: VDM, VDO)"},
             std::tuple{"RMC,", Profile::Nmea4, "unknown sentence kind ''"},
             std::tuple{"XYZ", Profile::Nmea4, "unknown sentence kind 'XYZ'"},
             std::tuple{"rmc,pgrme", Profile::Nmea4,
                        "sentence kind 'pgrme' is the garmin receiver's own (--receiver garmin)"},
         }) {
        try {
            (void)ParseKindList(text, profile);
            ADD_FAILURE() << text;
        } catch (const SettingError& e) {
            EXPECT_EQ(std::string(e.what()).find(message), 0U) << e.what();
        }
    }
}

}  // namespace
}  // namespace kovra::engine
