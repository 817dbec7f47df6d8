#include "engine/receiver/Classic.h"

#include <algorithm>

#include "engine/scenario/BuiltIn.h"
#include "foundation/Names.h"
#include "satellites/SkyPlot.h"

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

ReportedFix FixOf(const nmea::NavigationSnapshot& s) {
    ReportedFix fix{s.fixQuality, static_cast<double>(s.hdop), static_cast<double>(s.pdop),
                    static_cast<double>(s.vdop), {}};
    for (int i = 0; i < s.activeCount; ++i) {
        const nmea::SatelliteView& v = s.activeSatellites[static_cast<std::size_t>(i)];
        fix.satellites.push_back({"GPS", v.prn, v.elevation, v.azimuth, v.snr, true});
    }
    return fix;
}

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

ClassicStart ClassicStartOf(const TKovraNMEAGenerator& gps) {
    ClassicStart start{.world = WorldFrom(gps), .sentences = gps.Snapshot(), .commands = gps.Commands(), .wayPoints = {}};
    start.sentences.route.reset();  // its names are the generator's
    const TWayPoints& waypoints = gps.WayPoints();
    for (int i = 0; i < waypoints.Count(); ++i) {
        if (const TWayPoint* w = waypoints.GetItem(i)) {
            start.wayPoints.push_back({w->Name(), w->Position()});
        }
    }
    if (const TRoute* active = gps.Routes().ActiveRoute()) {
        start.activeRoute = Route{active->Name(), active->WayPoints()};
    }
    start.systemTime = gps.UseSystemDateTime();
    start.utc = gps.UTCDateTime();
    return start;
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
    return FixOf(gps_.Snapshot());
}

std::string ClassicReceiver::SkyPlot(std::int32_t radius) const { return gps_.SkyPlotSvg(radius); }

DetachedClassicReceiver::DetachedClassicReceiver(ClassicStart start, bool deriveMagneticHeading, bool setsTime)
    : start_(std::move(start)),
      deriveMagneticHeading_(deriveMagneticHeading),
      setsTime_(setsTime),
      handed_(start_.world.vessels.front().state),
      quality_(start_.sentences.fixQuality),
      utc_(start_.utc) {
    start_.world.vessels.clear();  // the run's world has the vessel and the waypoints now
    start_.world.waypoints.clear();
}

// As ClassicReceiver::Update, value for value.
std::string DetachedClassicReceiver::Update(const ReceiverInput& in) {
    nmea::NavigationSnapshot& out = start_.sentences;
    const VesselState& s = in.vessel.state;
    if (!SamePlace(s.position, handed_.position)) {
        out.position = DmsOf(s.position);
    }
    if (s.speed != handed_.speed) {
        out.speed = s.speed / kMetresPerSecondPerKnot;
    }
    if (s.course != handed_.course) {
        out.heading = s.course;
        if (deriveMagneticHeading_) {
            out.magneticHeading = MagneticHeading(out.heading, out.magneticVariation, out.magneticVariationDirection);
        }
    }
    if (s.altitude != handed_.altitude) {
        out.altitude = s.altitude;
    }
    handed_ = s;
    out.fixQuality = in.outage ? 0 : quality_;
    if (setsTime_) {
        utc_ = in.utc;
    }
    HandRoute(in.world, in.vessel.progress.route);
    out.route.reset();
    if (const std::optional<Route>& active = start_.activeRoute) {
        nmea::RouteView& view = out.route.emplace();
        view.name = active->name;
        view.names = active->points;
        for (const std::string& name : active->points) {
            if (const ClassicStart::NamedPosition* w = FindWayPoint(name)) {
                view.wayPoints.push_back({name, w->name, w->position});
            }
        }
    }
    std::string text;
    nmea::AppendNMEA(text, out, DecodeDateTime(setsTime_ || !start_.systemTime ? utc_ : SystemUTCNow()),
                     start_.commands);
    return text;
}

void DetachedClassicReceiver::HandRoute(const World& world, const std::string& name) {
    const std::optional<Route>& active = start_.activeRoute;
    const Route* route = world.FindRoute(name);
    if (route == nullptr || (active && SameName(active->name, name) && active->points == route->points)) {
        return;
    }
    const Route* held = start_.world.FindRoute(name);
    if (held != nullptr && held->points == route->points) {
        start_.activeRoute = *held;
        return;
    }
    start_.activeRoute = Route{name, route->points};
    start_.world.PutRoute(*start_.activeRoute);
}

const ClassicStart::NamedPosition* DetachedClassicReceiver::FindWayPoint(std::string_view name) const {
    const auto found = std::find_if(start_.wayPoints.rbegin(), start_.wayPoints.rend(),
                                    [&](const ClassicStart::NamedPosition& w) { return SameName(w.name, name); });
    return found == start_.wayPoints.rend() ? nullptr : &*found;
}

ReportedFix DetachedClassicReceiver::Fix() const { return FixOf(start_.sentences); }

std::string DetachedClassicReceiver::SkyPlot(std::int32_t radius) const {
    std::vector<SkyPlotSatellite> active;
    const nmea::NavigationSnapshot& s = start_.sentences;
    for (int i = 0; i < s.activeCount; ++i) {
        const nmea::SatelliteView& v = s.activeSatellites[static_cast<std::size_t>(i)];
        active.push_back({v.prn, v.elevation, v.azimuth, v.snr});
    }
    return SignalSkyPlotSvg(radius, 0xFFFFFF, 0, active);
}

}  // namespace kovra::engine
