#include "Fleet.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "Options.h"
#include "engine/scenario/Motion.h"
#include "foundation/Names.h"

namespace kovra::app {

namespace {

constexpr std::uint64_t kFleetStreams = 0xF1EE7;  // apart from the vessels' own streams
constexpr int kRandomRoutePoints = 4;

std::string Degrees(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

double DecimalOf(const std::string& text, bool latitude) {
    const Coordinate c = ParseCoordinate(text, latitude, latitude ? "lat" : "lon");
    const double value = c.degree + c.minute / 60.0 + static_cast<double>(c.second) / 3600;
    const bool negative = c.direction == TCardinalPoint::cpSouth || c.direction == TCardinalPoint::cpWest;
    return negative ? -value : value;
}

// The route's points, from the file's waypoints.
std::vector<engine::GeoPoint> RoutePoints(const ScenarioFile& file, const std::string& text) {
    const std::string names = text.substr(text.find(':') + 1);
    std::vector<engine::GeoPoint> points;
    for (std::size_t start = 0; start <= names.size() && !names.empty();) {
        const std::size_t end = std::min(names.find(',', start), names.size());
        const std::string name = names.substr(start, end - start);
        for (const FileArgument& a : file.arguments) {
            const std::string& w = a.value.value_or("");
            const std::size_t second = w.rfind(',');
            const std::size_t first = second == std::string::npos || second == 0 ? std::string::npos : w.rfind(',', second - 1);
            if (a.option == "--waypoint" && first != std::string::npos && SameName(w.substr(0, first), name)) {
                points.push_back({DecimalOf(w.substr(first + 1, second - first - 1), true),
                                  DecimalOf(w.substr(second + 1), false)});
            }
        }
        start = end + 1;
    }
    return points;
}

// A port pattern: "127.0.0.1:20000+i@RMC" is port 20000 + i.
std::string Patterned(const FleetSpec::Output& output, std::size_t i) {
    const std::size_t plus = output.pattern.find("+i");
    if (plus == std::string::npos) {
        return output.pattern;
    }
    std::size_t digits = plus;
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(output.pattern[digits - 1])) != 0) {
        --digits;
    }
    const unsigned long base = digits == plus ? 0 : std::stoul(output.pattern.substr(digits, plus - digits));
    if (digits == plus || base + i > 65535) {
        throw UsageError(output.where + ": " + engine::QuotedValue(output.pattern) + " gives no port from 1 to 65535 for vessel " +
                         std::to_string(i + 1) + " of the fleet");
    }
    return output.pattern.substr(0, digits) + std::to_string(base + i) + output.pattern.substr(plus + 2);
}

class Member {
public:
    Member(const FleetSpec& fleet, std::uint64_t seed, std::size_t i)
        : fleet_(fleet), random_(StreamSeed(seed ^ kFleetStreams, i)), name_(fleet.name + " " + std::to_string(i + 1)) {}

    engine::GeoPoint InArea() {
        const double bearing = Uniform(0, 360);
        const double km = fleet_.radiusKm * std::sqrt(Uniform(0, 1));
        double ignored = 0;
        return engine::Destination({fleet_.center->first, fleet_.center->second}, bearing, km / 1.852, ignored);
    }

    // Somewhere along the legs, and the course of that leg.
    std::pair<engine::GeoPoint, double> Along(const std::vector<engine::GeoPoint>& points) {
        double total = 0;
        for (std::size_t k = 1; k < points.size(); ++k) {
            total += engine::DistanceNm(points[k - 1], points[k]);
        }
        double left = Uniform(0, total);
        for (std::size_t k = 1; k < points.size(); ++k) {
            const double leg = engine::DistanceNm(points[k - 1], points[k]);
            const double bearing = engine::InitialBearing(points[k - 1], points[k]);
            if (left <= leg || k + 1 == points.size()) {
                double course = 0;
                return {engine::Destination(points[k - 1], bearing, std::min(left, leg), course), course};
            }
            left -= leg;
        }
        return {points.front(), 0};
    }

    double Uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }
    const std::string& Name() const { return name_; }

private:
    const FleetSpec& fleet_;
    std::mt19937_64 random_;
    std::string name_;
};

}  // namespace

std::uint64_t StreamSeed(std::uint64_t seed, std::uint64_t index) {
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (index + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t VesselSeed(std::uint64_t seed, const std::string& name) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;  // FNV-1a
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    }
    return StreamSeed(seed, hash);
}

std::vector<std::vector<FileArgument>> FleetVessels(const ScenarioFile& file, std::uint64_t seed) {
    const FleetSpec& fleet = *file.fleet;
    const auto routeNamed = [&](const std::string& name) {
        for (const auto& [routeName, text] : file.routes) {
            if (SameName(routeName, name)) {
                return text;
            }
        }
        throw UsageError(fleet.where + ": fleet: no route named " + engine::QuotedValue(name) + " in routes");
    };
    const std::optional<std::string> along = fleet.along ? std::optional(routeNamed(*fleet.along)) : std::nullopt;
    const std::vector<engine::GeoPoint> alongPoints = along ? RoutePoints(file, *along) : std::vector<engine::GeoPoint>{};
    if (along && alongPoints.size() < 2) {
        throw UsageError(fleet.where + ": fleet: route " + engine::QuotedValue(*fleet.along) +
                         " needs two waypoints of the file's to start along");
    }
    const std::optional<std::string> given =
        fleet.routes.empty() || fleet.routes == "random" ? std::nullopt : std::optional(routeNamed(fleet.routes));
    const bool steered = std::any_of(fleet.vesselKeys.begin(), fleet.vesselKeys.end(),
                                     [](const FileArgument& a) { return a.option == "--heading"; });
    std::vector<std::vector<FileArgument>> vessels;
    vessels.reserve(fleet.count);
    for (std::size_t i = 0; i < fleet.count; ++i) {
        Member member(fleet, seed, i);
        std::vector<FileArgument> keys;
        const auto add = [&](const std::string& option, std::optional<std::string> value) {
            keys.push_back({option, std::move(value), "fleet", fleet.where});
        };
        add("--name", member.Name());
        double course = member.Uniform(0, 360);
        engine::GeoPoint start{};
        if (along) {
            std::tie(start, course) = member.Along(alongPoints);
        } else {
            start = member.InArea();
        }
        add("--lat", Degrees(start.lat));
        add("--lon", Degrees(start.lon));
        if (!steered) {
            add("--heading", Degrees(engine::Normalized360(course)));
        }
        if (fleet.routes == "random" && fleet.center) {
            std::string route = member.Name() + ":";
            for (int k = 1; k <= kRandomRoutePoints; ++k) {
                const std::string point = member.Name() + " WP" + std::to_string(k);
                const engine::GeoPoint p = member.InArea();
                add("--waypoint", point + "," + Degrees(p.lat) + "," + Degrees(p.lon));
                route += (k > 1 ? "," : "") + point;
            }
            add("--route", route);
        } else if (fleet.routes == "random" || given) {
            add("--route", given ? *given : *along);
        }
        if (!fleet.routes.empty()) {
            add("--follow-route", std::nullopt);
            add("--loop", std::nullopt);
        }
        for (const FleetSpec::Output& output : fleet.outputs) {
            add(output.option, Patterned(output, i));
        }
        vessels.push_back(std::move(keys));
    }
    return vessels;
}

}  // namespace kovra::app
