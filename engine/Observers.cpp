#include "engine/Observers.h"

#include <cstdio>

#include "engine/scenario/Gpx.h"
#include "engine/scenario/Movers.h"

namespace kovra::engine {

namespace {

constexpr std::int32_t kWebSkyPlotRadius = 150;

}  // namespace

void RecordingObserver::Moved(const World& world, TDateTime utc, double elapsed) {
    recorder_.Add(world.vessels.front().state, utc, elapsed);  // sailed, whatever becomes of the sending
}

ViewState ViewOf(const SentUpdate& u) {
    const Vessel& vessel = u.world.vessels.front();
    ViewState v;
    v.time = IsoTime(u.utc);
    v.lat = vessel.state.position.lat;
    v.lon = vessel.state.position.lon;
    v.alt = vessel.state.altitude;
    v.speed = vessel.state.speed / kMetresPerSecondPerKnot;
    v.course = vessel.state.course;
    const ReportedFix fix = u.receiver.Fix();
    v.fix = u.outage ? 0 : fix.quality;
    v.hdop = fix.hdop;
    v.pdop = fix.pdop;
    v.vdop = fix.vdop;
    v.satellites = fix.satellites;
    for (const WayPoint& w : u.world.waypoints) {
        v.waypoints.push_back({w.name, w.position.lat, w.position.lon});
    }
    for (const Route& r : u.world.routes) {
        v.routes.push_back(r.name);
    }
    if (const Route* active = u.world.FindRoute(vessel.progress.route)) {
        v.route = active->name;
        v.routePoints = active->points;
        if (const std::optional<NextWayPoint> next = NextWayPointOf(vessel, u.world)) {
            v.next = next->name;
            v.nextDistance = next->distanceNm;
        }
    }
    v.paused = u.paused;
    v.outage = u.outage;
    v.speedup = u.speedup;
    return v;
}

void LiveViewObserver::Sent(const SentUpdate& update) {
    server_.Publish(update.bytes, [&] {
        return WebServer::Snapshot{ViewOf(update), update.receiver.SkyPlot(kWebSkyPlotRadius)};
    });
}

void StatusLineObserver::Sent(const SentUpdate& u) {
    const Vessel& vessel = u.world.vessels.front();
    const DecodedDateTime t = DecodeDateTime(u.utc);
    const GeoPosition p = DmsOf(vessel.state.position);
    char line[256];
    std::snprintf(line, sizeof line,
                  "#%llu %02d:%02d:%02d.%03d  %02d°%02d'%05.2f\"%c %03d°%02d'%05.2f\"%c  %.1f kn  %.1f°",
                  static_cast<unsigned long long>(u.number), t.hour, t.minute, t.second, t.millisecond, p.latDeg,
                  p.latMin, static_cast<double>(p.latSec), p.latDir == TCardinalPoint::cpNorth ? 'N' : 'S',
                  p.longDeg, p.longMin, static_cast<double>(p.longSec), p.longDir == TCardinalPoint::cpEast ? 'E' : 'W',
                  vessel.state.speed / kMetresPerSecondPerKnot, vessel.state.course);
    std::string status = line;
    if (const std::optional<NextWayPoint> next = NextWayPointOf(vessel, u.world)) {
        char away[64];
        std::snprintf(away, sizeof away, " %.2f nm", next->distanceNm);
        status += "  next " + Printable(next->name) + away;  // a name never reaches the terminal raw
    }
    notify_(status);
}

}  // namespace kovra::engine
