#include "engine/ais/Encounter.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace kovra::engine::ais {

namespace {

constexpr double kRadians = std::numbers::pi / 180;

struct Vec {
    double east = 0, north = 0;
};
Vec operator+(Vec a, Vec b) { return {a.east + b.east, a.north + b.north}; }
Vec operator-(Vec a, Vec b) { return {a.east - b.east, a.north - b.north}; }
Vec operator*(Vec a, double k) { return {a.east * k, a.north * k}; }
double Dot(Vec a, Vec b) { return a.east * b.east + a.north * b.north; }
double Cross(Vec a, Vec b) { return a.east * b.north - a.north * b.east; }
double Length(Vec a) { return std::hypot(a.east, a.north); }

Vec Towards(double bearing, double length) {
    return {length * std::sin(bearing * kRadians), length * std::cos(bearing * kRadians)};
}

// Nautical miles a second.
Vec Velocity(const Track& t) { return Towards(t.course, t.knots / 3600); }

// Where `to` lies from `from`, nautical miles east and north.
Vec Offset(GeoPoint from, GeoPoint to) { return Towards(InitialBearing(from, to), DistanceNm(from, to)); }

// The target's start relative to own ship for its course, passing on `side`
// (+1 or -1 of the relative motion): d·n - T·Vr.
Vec Start(const Track& own, const CrossingRule& rule, double course, int side) {
    const Vec relative = Towards(course, rule.knots / 3600) - Velocity(own);
    const double speed = Length(relative);
    const Vec normal = speed > 0 ? Vec{-relative.north / speed, relative.east / speed} * side : Vec{};
    return normal * rule.cpaNm - relative * rule.inSeconds;
}

}  // namespace

Approach ClosestApproach(const Track& own, const Track& target) {
    const Vec r = Offset(own.position, target.position);
    const Vec v = Velocity(target) - Velocity(own);
    const double v2 = Dot(v, v);
    if (v2 < 1e-18) {
        return {Length(r), 0};
    }
    const double t = -Dot(r, v) / v2;
    return {Length(r + v * t), t};
}

std::optional<Track> PlaceForCrossing(const Track& own, const CrossingRule& rule) {
    const Vec bearing = Towards(rule.bearing, 1);
    // The start must lie on the bearing: its cross product with it is 0,
    // and it must lie ahead along it. Scanned, then each root bisected.
    std::optional<Track> best;
    double bestAim = 361;
    for (const int side : {1, -1}) {
        const auto off = [&](double course) { return Cross(bearing, Start(own, rule, course, side)); };
        constexpr int kSteps = 3600;
        for (int i = 0; i < kSteps; ++i) {
            double low = 360.0 * i / kSteps, high = 360.0 * (i + 1) / kSteps;
            if (std::signbit(off(low)) == std::signbit(off(high)) && off(low) != 0) {
                continue;
            }
            for (int n = 0; n < 60; ++n) {
                const double middle = (low + high) / 2;
                (std::signbit(off(low)) == std::signbit(off(middle)) && off(low) != 0 ? low : high) = middle;
            }
            const double course = (low + high) / 2;
            const Vec start = Start(own, rule, course, side);
            const double range = Dot(start, bearing);
            if (range <= 0 || std::fabs(Cross(bearing, start)) > 1e-9) {
                continue;  // behind own ship, or a sign change that is no root
            }
            // The course that points nearest at own ship, as crossing traffic does.
            const double aim = std::fabs(std::remainder(course - (rule.bearing + 180), 360.0));
            if (aim < bestAim) {
                double ignored = 0;
                bestAim = aim;
                best = Track{Destination(own.position, rule.bearing, range, ignored), Normalized360(course), rule.knots};
            }
        }
    }
    return best;
}

}  // namespace kovra::engine::ais
