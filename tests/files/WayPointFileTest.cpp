#include "FileSupport.h"

#include <cmath>
#include <random>

#include "TestSupport.h"
#include "generator/KovraNMEAGenerator.h"
#include "files/IniFile.h"
#include "waypoints/Route.h"
#include "waypoints/WayPoint.h"

namespace kovra {
namespace {

using CP = TCardinalPoint;
using test::ThrowsKovra;

std::unique_ptr<TWayPoint> Make(const std::string& name, int latDeg, int latMin, Extended latSec, CP latDir,
                                 int longDeg, int longMin, Extended longSec, CP longDir) {
    auto w = std::make_unique<TWayPoint>(name);
    w->Latitude_Degree(latDeg);
    w->Latitude_Minute(latMin);
    w->Latitude_Second(latSec);
    w->Latitude_Direction(latDir);
    w->Longitude_Degree(longDeg);
    w->Longitude_Minute(longMin);
    w->Longitude_Second(longSec);
    w->Longitude_Direction(longDir);
    return w;
}

std::string Describe(const TWayPoints& list) {
    std::string text;
    for (int i = 0; i < list.Count(); ++i) {
        const TWayPoint* w = list.GetItem(i);
        if (w == nullptr) {
            continue;
        }
        text += "[" + w->Name() + "] " + std::to_string(w->Latitude_Degree()) + " " +
                std::to_string(w->Latitude_Minute()) + " " + std::to_string(static_cast<double>(w->Latitude_Second())) +
                (w->Latitude_Direction() == CP::cpNorth ? "N " : "S ") + std::to_string(w->Longitude_Degree()) + " " +
                std::to_string(w->Longitude_Minute()) + " " +
                std::to_string(static_cast<double>(w->Longitude_Second())) +
                (w->Longitude_Direction() == CP::cpEast ? "E\n" : "W\n");
    }
    return text;
}

class WayPointFile : public test::TempDir {
protected:
    void FillExample() {
        ASSERT_TRUE(list.Add(Make("W1", 45, 30, 15.5L, CP::cpNorth, 12, 20, 0, CP::cpEast)));
        ASSERT_TRUE(list.Add(Make("W2", 33, 51, 54.3L, CP::cpSouth, 151, 12, 35.7L, CP::cpEast)));
    }
    TWayPoints list;
};

constexpr const char* kExample =
    "[W1]\nName=W1\nLatitude_Degree=45\nLatitude_Minute=30\nLatitude_Second=15.5\nLatitude_Direction=N\n"
    "Longitude_Degree=12\nLongitude_Minute=20\nLongitude_Second=0\nLongitude_Direction=E\n"
    "[W2]\nName=W2\nLatitude_Degree=33\nLatitude_Minute=51\nLatitude_Second=54.3\nLatitude_Direction=S\n"
    "Longitude_Degree=151\nLongitude_Minute=12\nLongitude_Second=35.7\nLongitude_Direction=E\n";

TEST_F(WayPointFile, SavesTheExampleByteForByte) {
    FillExample();
    list.SaveToFile(Name("wp.ini"));
    EXPECT_EQ(Read(Path("wp.ini")), kExample);
}

TEST_F(WayPointFile, RoundTripsNamesThatNeedCareAndEverySecond) {
    const std::vector<std::string> names = {" Dock ", "[x]", "a=b", "\"q\"", "", ";semi", "Hafen-Ost", "é"};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> second(0, 60);
    for (const std::string& name : names) {
        ASSERT_TRUE(list.Add(Make(name, 1, 2, second(random), CP::cpSouth, 3, 4, second(random), CP::cpWest)));
    }
    list.SetItem(1, nullptr);  // an empty slot is not saved
    const std::string before = Describe(list);
    list.SaveToFile(Name("wp.ini"));
    TWayPoints back;
    back.LoadFromFile(Name("wp.ini"));
    EXPECT_EQ(Describe(back), before);
    EXPECT_EQ(back.Count(), static_cast<int>(names.size()) - 1);
}

TEST_F(WayPointFile, UnderACommaLocaleSecondsKeepTheirFraction) {
    FillExample();
    {
        const test::CommaDecimalLocale comma;
        ASSERT_TRUE(comma.Active()) << "locale de_DE.UTF-8 is missing: run ./scripts/test, which generates it";
        list.SaveToFile(Name("comma.ini"));
        EXPECT_NE(Read(Path("comma.ini")).find("Latitude_Second=15,5\n"), std::string::npos);
        TWayPoints back;
        back.LoadFromFile(Name("comma.ini"));
        EXPECT_EQ(Describe(back), Describe(list));
        Write(Path("point.ini"), kExample);  // written under a point locale
        back.LoadFromFile(Name("point.ini"));
        EXPECT_EQ(Describe(back), Describe(list));
    }
    TWayPoints back;  // and the comma file read under the point locale
    back.LoadFromFile(Name("comma.ini"));
    EXPECT_EQ(Describe(back), Describe(list));
}

TEST_F(WayPointFile, SavingAnEmptyListLeavesNoFile) {
    Write(Path("wp.ini"), kExample);
    list.SaveToFile(Name("wp.ini"));
    EXPECT_FALSE(std::filesystem::exists(Path("wp.ini")));
}

TEST_F(WayPointFile, MatchingNamesShareTheFirstSection) {
    FillExample();
    list.SetItem(1, Make("w1", 1, 1, 1, CP::cpNorth, 1, 1, 1, CP::cpEast));
    list.SaveToFile(Name("wp.ini"));
    EXPECT_EQ(Read(Path("wp.ini")),
              "[W1]\nName=w1\nLatitude_Degree=1\nLatitude_Minute=1\nLatitude_Second=1\nLatitude_Direction=N\n"
              "Longitude_Degree=1\nLongitude_Minute=1\nLongitude_Second=1\nLongitude_Direction=E\n");
}

TEST_F(WayPointFile, LoadingReadsDefaultsAndDirectionsExactly) {
    FillExample();
    list.LoadFromFile(Name("missing.ini"));
    EXPECT_EQ(list.Count(), 0);  // a missing file empties the list

    Write(Path("dirs.ini"),
          "[Empty]\n[S]\nLatitude_Direction=s\nLongitude_Direction=e\n[A]\nLatitude_Second=x\n[a]\n"
          "Latitude_Degree=5\n");
    list.LoadFromFile(Name("dirs.ini"));
    EXPECT_EQ(Describe(list),
              "[Empty] 0 0 0.000000N 0 0 0.000000E\n"
              "[S] 0 0 0.000000S 0 0 0.000000W\n"
              "[A] 0 0 0.000000N 0 0 0.000000E\n");
}

TEST_F(WayPointFile, ABadValueInAnySectionLoadsNothing) {
    FillExample();
    const std::string before = Describe(list);
    Write(Path("bad.ini"), "[1]\n[2]\n[3]\nLatitude_Second=60\n[4]\n[5]\n");
    EXPECT_TRUE(ThrowsKovra([&] { list.LoadFromFile(Name("bad.ini")); }, "Latitude Second must be between 0 and 60."));
    EXPECT_EQ(Describe(list), before);  // the list is as it was before the load
    Write(Path("bad.ini"), "[1]\nLongitude_Minute=60\n");
    EXPECT_TRUE(ThrowsKovra([&] { list.LoadFromFile(Name("bad.ini")); }, "Longitude Minute must be between 0 and 60."));
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(WayPointFile, SecondsJustBelowSixtyCarryAndLoadBack) {
    struct Case {
        int degree, minute;
        Extended second;
        int maxDegree;
        const char* written;  // degree, minute and second keys as saved
    };
    const Extended hair = std::nextafter(60.0L, 0.0L);
    const Case cases[] = {
        {12, 30, 59.99999999999995L, 90, "12 31 0"},
        {12, 59, hair, 90, "13 0 0"},
        {90, 59, hair, 90, "90 59 59.9999999999999"},  // no 91st degree: the largest second below 60
        {179, 59, hair, 180, "180 0 0"},
        {12, 30, 59.5L, 90, "12 30 59.5"},
    };
    for (const Case& c : cases) {
        list.Clear();
        const bool latitude = c.maxDegree == 90;
        auto w = std::make_unique<TWayPoint>("P");
        if (latitude) {
            w->Latitude_Degree(c.degree);
            w->Latitude_Minute(c.minute);
            w->Latitude_Second(c.second);
        } else {
            w->Longitude_Degree(c.degree);
            w->Longitude_Minute(c.minute);
            w->Longitude_Second(c.second);
        }
        ASSERT_TRUE(list.Add(std::move(w)));
        list.SaveToFile(Name("wp.ini"));
        const std::string prefix = latitude ? "Latitude" : "Longitude";
        const IniFile ini = *IniFile::Load(Path("wp.ini"));
        EXPECT_EQ(ini.ReadString("P", prefix + "_Degree", "") + " " + ini.ReadString("P", prefix + "_Minute", "") +
                      " " + ini.ReadString("P", prefix + "_Second", ""),
                  c.written);
        ASSERT_NO_THROW(list.LoadFromFile(Name("wp.ini")));
        EXPECT_EQ(list.Count(), 1);
    }
    // The value the conversions make from one minute of arc.
    std::int32_t degree = 0, minute = 0;
    Extended second = 0;
    CP direction = CP::cpNorth;
    TKovraNMEAGenerator::LatitudeDecimalDegreesToDMS(1 / 60.0, degree, minute, second, direction);
    list.Clear();
    ASSERT_TRUE(list.Add(Make("M", degree, minute, second, direction, 0, 0, 0, CP::cpEast)));
    list.SaveToFile(Name("wp.ini"));
    list.LoadFromFile(Name("wp.ini"));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Latitude_Minute() * 60 + list.GetItem(0)->Latitude_Second(), 60);
}

TEST_F(WayPointFile, ManySectionsLoadInFileOrderWithoutRepeats) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "[P" + std::to_string(i) + "]\nLatitude_Degree=" + std::to_string(i % 90) + "\n";
    }
    text += "[p7]\nLatitude_Degree=1\n";  // matches P7: dropped
    Write(Path("many.ini"), text);
    list.LoadFromFile(Name("many.ini"));
    ASSERT_EQ(list.Count(), 20000);
    EXPECT_EQ(list.GetItem(19999)->Name(), "P19999");
    EXPECT_EQ(list.GetByName("p7")->Latitude_Degree(), 7);
}

TEST_F(WayPointFile, UnreadableFilesAndUnwritableNamesLoseNothing) {
    FillExample();
    list.SaveToFile(Name("wp.ini"));
    Write(Path("bin.ini"), std::string("[X]\0", 4));
    EXPECT_THROW(list.LoadFromFile(Name("bin.ini")), EKovraNMEAException);
    EXPECT_EQ(list.Count(), 2);  // the list is as it was

    ASSERT_TRUE(list.Add(Make("bad\nname", 0, 0, 0, CP::cpNorth, 0, 0, 0, CP::cpEast)));
    EXPECT_THROW(list.SaveToFile(Name("wp.ini")), EKovraNMEAException);
    EXPECT_EQ(Read(Path("wp.ini")), kExample);
}

TEST_F(WayPointFile, ARouteFileLoadsAsWaypointsAtTheOrigin) {
    Write(Path("route.ini"), "[Route]\nName=Harbour\n[W1]\nName=W1\n[W2]\nName=W2\n");
    list.LoadFromFile(Name("route.ini"));
    EXPECT_EQ(Describe(list),
              "[Route] 0 0 0.000000N 0 0 0.000000E\n"
              "[W1] 0 0 0.000000N 0 0 0.000000E\n"
              "[W2] 0 0 0.000000N 0 0 0.000000E\n");
}

}  // namespace
}  // namespace kovra
