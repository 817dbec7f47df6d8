#include "engine/receiver/Classic.h"

#include "engine/scenario/BuiltIn.h"
#include "foundation/Names.h"

namespace kovra::engine {

namespace {

VesselState StateOf(const TKovraNMEAGenerator& gps) {
    VesselState s;
    s.position = PositionOf(gps);
    s.altitude = static_cast<double>(gps.Altitude());
    s.speed = static_cast<double>(gps.Speed()) * kMetresPerSecondPerKnot;
    s.course = s.heading = static_cast<double>(gps.Heading());
    return s;
}

bool SamePlace(GeoPoint a, GeoPoint b) { return a.lat == b.lat && a.lon == b.lon; }

}  // namespace

World WorldFrom(const TKovraNMEAGenerator& gps) {
    World world;
    Vessel vessel;
    vessel.name = "vessel 1";
    vessel.state = StateOf(gps);
    vessel.orderedCourse = vessel.state.course;
    vessel.orderedSpeed = vessel.state.speed;
    if (const TRoute* active = gps.Routes().ActiveRoute()) {
        vessel.progress.route = active->Name();
    }
    world.vessels.push_back(std::move(vessel));
    const TWayPoints& waypoints = gps.WayPoints();
    for (int i = 0; i < waypoints.Count(); ++i) {
        if (const TWayPoint* w = waypoints.GetItem(i)) {
            world.waypoints.push_back({w->Name(), PositionOf(*w)});
        }
    }
    for (int i = 0; i < gps.Routes().Count(); ++i) {
        if (const TRoute* r = gps.Routes().GetItem(i)) {
            world.routes.push_back({r->Name(), r->WayPoints()});
        }
    }
    return world;
}

ClassicReceiver::ClassicReceiver(TKovraNMEAGenerator& gps, bool deriveMagneticHeading, bool setsTime)
    : gps_(gps),
      deriveMagneticHeading_(deriveMagneticHeading),
      setsTime_(setsTime),
      handed_(StateOf(gps)),
      quality_(gps.FixQuality()) {}

// Only what changed is set: the generator keeps the values it was given,
// to the last digit, for as long as the world leaves them as they are.
std::string ClassicReceiver::Update(const ReceiverInput& in) {
    const VesselState& s = in.vessel.state;
    if (!SamePlace(s.position, handed_.position)) {
        SetPosition(gps_, s.position);
    }
    if (s.speed != handed_.speed) {
        gps_.Speed(s.speed / kMetresPerSecondPerKnot);
    }
    if (s.course != handed_.course) {
        gps_.Heading(s.course);
        if (deriveMagneticHeading_) {
            gps_.Magnetic_Heading(
                MagneticHeading(gps_.Heading(), gps_.Magnetic_Variation(), gps_.Magnetic_Variation_Direction()));
        }
    }
    if (s.altitude != handed_.altitude) {
        gps_.Altitude(s.altitude);
    }
    handed_ = s;
    if (const std::int32_t quality = in.outage ? 0 : quality_; gps_.FixQuality() != quality) {
        gps_.FixQuality(quality);  // an outage: the library's sentences for a receiver without a fix
    }
    if (setsTime_) {
        gps_.UTCDateTime(in.utc);
    }
    HandRoute(in.world, in.vessel.progress.route);
    return gps_.GetNMEA();
}

void ClassicReceiver::HandRoute(const World& world, const std::string& name) {
    const TRoute* active = gps_.Routes().ActiveRoute();
    const Route* route = world.FindRoute(name);
    if (route == nullptr || (active != nullptr && SameName(active->Name(), name) && active->WayPoints() == route->points)) {
        return;
    }
    TRoute* held = gps_.Routes().GetByName(name);
    if (held != nullptr && held->WayPoints() == route->points) {
        gps_.Routes().ActiveRoute(held);
        return;
    }
    auto handed = std::make_unique<TRoute>(name);
    handed->WayPoints(route->points);
    MakeActiveRoute(gps_, std::move(handed));
}

ReportedFix ClassicReceiver::Fix() const {
    ReportedFix fix{gps_.FixQuality(), static_cast<double>(gps_.HDOP()), static_cast<double>(gps_.PDOP()),
                    static_cast<double>(gps_.VDOP()), {}};
    for (const TSatellite* s : gps_.GetActiveSatellitesList()) {
        fix.satellites.push_back({"GPS", s->PseudoRandomCode(), s->Elevation(), s->Azimuth(), s->SignalToNoiseRatio(),
                                  true});
    }
    return fix;
}

std::string ClassicReceiver::SkyPlot(std::int32_t radius) const { return gps_.SkyPlotSvg(radius); }

}  // namespace kovra::engine
