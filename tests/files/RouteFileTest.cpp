#include "FileSupport.h"
#include "files/IniFile.h"
#include "waypoints/Route.h"

namespace kovra {
namespace {

class RouteFile : public test::TempDir {
protected:
    std::string Load(const std::string& text) {
        Write(Path("r.ini"), text);
        route.LoadFromFile(Name("r.ini"));
        return route.Name() + ":" + route.WayPointListToStr();
    }
    TRoute route{"Start"};
};

TEST_F(RouteFile, SavesTheExampleByteForByte) {
    route.Name("Harbour");
    route.WayPoints({"W1", "W2", "W3"});
    route.SaveToFile(Name("r.ini"));
    EXPECT_EQ(Read(Path("r.ini")), "[Route]\nName=Harbour\n[W1]\nName=W1\n[W2]\nName=W2\n[W3]\nName=W3\n");
    route.WayPoints().clear();
    route.SaveToFile(Name("r.ini"));
    EXPECT_EQ(Read(Path("r.ini")), "[Route]\nName=Harbour\n");
}

TEST_F(RouteFile, RoundTripsNamesThatNeedCare) {
    route.Name(" Harbour \"North\" ");
    route.WayPoints({" W1", "[x]", "a=b", "", "\"q\""});
    route.SaveToFile(Name("r.ini"));
    TRoute back("other");
    back.LoadFromFile(Name("r.ini"));
    EXPECT_EQ(back.Name(), route.Name());
    EXPECT_EQ(back.WayPoints(), route.WayPoints());
}

TEST_F(RouteFile, RepeatedNamesAndTheNameRouteLoadBackExactly) {
    struct Case {
        const char* name;
        TNameList names;
    };
    const Case cases[] = {
        {"Harbour", {"A", "B", "A"}},
        {"Harbour", {"W1", "W2", "w1", "W1"}},
        {"Harbour", {"W1", "route", "Route"}},
        {"Harbour", {"A", "A (2)", "A", "a (2)"}},
        {"Harbour", {"", "", "Route (2)"}},
    };
    for (const Case& c : cases) {
        route.Name(c.name);
        route.WayPoints(c.names);
        route.SaveToFile(Name("r.ini"));
        TRoute back("other");
        back.LoadFromFile(Name("r.ini"));
        EXPECT_EQ(back.Name(), c.name);
        EXPECT_EQ(back.WayPoints(), c.names) << Read(Path("r.ini"));
        // A loader that reads each non-"Route" section's key "Name", as any does.
        const IniFile ini = *IniFile::Load(Path("r.ini"));
        TNameList letter;
        for (const std::string& section : ini.SectionNames()) {
            if (!SameName(section, "Route")) {
                letter.push_back(ini.ReadString(section, "Name", ""));
            }
        }
        EXPECT_EQ(letter, c.names);
    }
    route.WayPoints({"A", "B", "A"});
    route.SaveToFile(Name("r.ini"));
    EXPECT_EQ(Read(Path("r.ini")), "[Route]\nName=Harbour\n[A]\nName=A\n[B]\nName=B\n[A (2)]\nName=A\n");
}

TEST_F(RouteFile, LoadingNamesAndDefaults) {
    EXPECT_EQ(Load("[W1]\nName=W1\n"), "0:W1");
    EXPECT_EQ(Load("[route]\n[W1]\nName=A\n[W2]\n"), "0:A,");
    EXPECT_EQ(Load("[W1]\nName=W1\n[Route]\nName=Late\n[W2]\nName=W2\n"), "0:W1,W2");
    // A waypoint file read as a route.
    EXPECT_EQ(Load("[W1]\nName=W1\nLatitude_Degree=45\n[W2]\nName=W2\n"), "0:W1,W2");
}

TEST_F(RouteFile, MissingAndEmptyFilesLeaveTheRouteAlone) {
    route.WayPoints({"A"});
    route.LoadFromFile(Name("missing.ini"));
    EXPECT_EQ(route.Name() + ":" + route.WayPointListToStr(), "Start:A");
    Write(Path("empty.ini"), "; nothing but a comment\n");
    EXPECT_THROW(route.LoadFromFile(Name("empty.ini")), std::out_of_range);
    EXPECT_EQ(route.Name() + ":" + route.WayPointListToStr(), "Start:A");
}

}  // namespace
}  // namespace kovra
