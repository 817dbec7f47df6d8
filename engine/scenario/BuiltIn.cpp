#include "engine/scenario/BuiltIn.h"

#include <cmath>

namespace kovra::engine {

namespace {

using CP = TCardinalPoint;

std::unique_ptr<TWayPoint> MakeWayPoint(const std::string& name, int latDeg, int latMin, int latSec, int longDeg,
                                        int longMin, int longSec) {
    auto w = std::make_unique<TWayPoint>(name);
    w->Latitude_Degree(latDeg);
    w->Latitude_Minute(latMin);
    w->Latitude_Second(latSec);
    w->Longitude_Degree(longDeg);
    w->Longitude_Minute(longMin);
    w->Longitude_Second(longSec);
    return w;
}

}  // namespace

void LoadBuiltInScenario(TKovraNMEAGenerator& gps, Plan& plan) {
    gps.FixQuality(1);
    gps.Latitude_Degree(54);
    gps.Latitude_Minute(19);
    gps.Latitude_Second(12);
    gps.Latitude_Direction(CP::cpNorth);
    gps.Longitude_Degree(10);
    gps.Longitude_Minute(9);
    gps.Longitude_Second(0);
    gps.Longitude_Direction(CP::cpEast);
    gps.Speed(6);
    gps.Heading(45);
    gps.Altitude(2);
    gps.Geo_Height(40.1L);
    gps.Magnetic_Variation(3.1L);
    gps.Magnetic_Variation_Direction(CP::cpEast);
    gps.Magnetic_Heading(MagneticHeading(gps.Heading(), gps.Magnetic_Variation(), gps.Magnetic_Variation_Direction()));
    gps.PDOP(1.8L);
    gps.HDOP(0.9L);
    gps.VDOP(1.5L);
    const int satellites[][4] = {{2, 62, 48, 44},  {5, 35, 112, 40}, {9, 18, 300, 31}, {12, 74, 210, 46},
                                 {15, 9, 20, 12},  {18, 27, 160, 36}, {21, 44, 260, 41}, {24, 5, 345, 8}};
    for (const auto& s : satellites) {
        gps.SetSatellite(static_cast<std::uint16_t>(s[0]), true, s[1], s[2], s[3]);
    }
    (void)gps.WayPoints().Add(MakeWayPoint("HARBOUR", 54, 19, 12, 10, 9, 0));
    (void)gps.WayPoints().Add(MakeWayPoint("BUOY", 54, 19, 40, 10, 10, 0));
    (void)gps.WayPoints().Add(MakeWayPoint("FAIRWAY", 54, 21, 0, 10, 11, 30));
    auto route = std::make_unique<TRoute>("DEPART");
    route->WayPoints({"HARBOUR", "BUOY", "FAIRWAY"});
    MakeActiveRoute(gps, std::move(route));
    plan.followRoute = true;
}

void MakeActiveRoute(TKovraNMEAGenerator& gps, std::unique_ptr<TRoute> route) {
    gps.Routes().Delete(route->Name());  // a route of that name given before is replaced
    TRoute* active = route.get();
    (void)gps.Routes().Add(std::move(route));
    gps.Routes().ActiveRoute(active);
}

Extended MagneticHeading(Extended trueHeading, Extended variation, TCardinalPoint side) {
    Extended magnetic = side == CP::cpWest ? trueHeading + variation : trueHeading - variation;
    magnetic = std::fmod(magnetic, 360.0L);
    if (magnetic < 0) {
        magnetic += 360;
    }
    return magnetic >= 360 ? 0 : magnetic;
}

}  // namespace kovra::engine
