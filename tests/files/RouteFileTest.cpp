#include "FileSupport.h"
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

TEST_F(RouteFile, RepeatedNamesAndTheRouteSectionItself) {
    route.WayPoints({"W1", "W2", "w1"});
    route.SaveToFile(Name("r.ini"));
    TRoute back("other");
    back.LoadFromFile(Name("r.ini"));
    EXPECT_EQ(back.WayPointListToStr(), "w1,W2");  // one section, at the first place, the last form

    route.Name("Harbour");
    route.WayPoints({"W1", "route"});
    route.SaveToFile(Name("r.ini"));
    back.LoadFromFile(Name("r.ini"));
    EXPECT_EQ(back.Name() + ":" + back.WayPointListToStr(), "route:W1");
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
