#include "engine/scenario/Gpx.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "engine/run/Errors.h"
#include "files/DataFile.h"
#include "foundation/Names.h"
#include "foundation/Text.h"

namespace kovra::engine {

namespace {

constexpr long kMaxElevation = 100'000;  // metres
// What a receiver holds, and far more than any holds: a file beyond it is refused.
constexpr int kMaxGpxWayPoints = 10'000;
constexpr std::size_t kMaxGpxRoutes = 1'000;

std::string_view LocalName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Where a byte of the text is, as "SOURCE:LINE:COLUMN".
std::string Where(std::string_view text, std::string_view source, std::ptrdiff_t offset) {
    const auto end = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size())));
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return std::string(source) + ":" + std::to_string(line) + ":" + std::to_string(end - lineStart + 1);
}

// Reads the parsed document into points, naming where anything is wrong.
class GpxReader {
public:
    GpxReader(std::string_view text, std::string_view source) : text_(text), source_(source) {}

    Gpx Read(const pugi::xml_node& root) {
        if (LocalName(root) != "gpx") {
            Fail(root, "not a GPX file: the root element is <" + std::string(root.name()) + ">");
        }
        const std::string_view version = root.attribute("version").value();
        if (!version.empty() && version != "1.0" && version != "1.1") {
            Fail(root, "GPX version " + std::string(version) + " (1.0 and 1.1 are read)");
        }
        Gpx gpx;
        for (const pugi::xml_node& node : root.children()) {
            const std::string_view name = LocalName(node);
            if (name == "wpt") {
                gpx.waypoints.push_back(Point(node));
            } else if (name == "rte") {
                GpxRoute& route = gpx.routes.emplace_back();
                route.name = Text(node, "name");
                for (const pugi::xml_node& point : node.children()) {
                    if (LocalName(point) == "rtept") {
                        route.points.push_back(Point(point));
                    }
                }
            } else if (name == "trk") {
                GpxTrack& track = gpx.tracks.emplace_back();
                track.name = Text(node, "name");
                for (const pugi::xml_node& segment : node.children()) {
                    if (LocalName(segment) != "trkseg") {
                        continue;
                    }
                    for (const pugi::xml_node& point : segment.children()) {
                        if (LocalName(point) == "trkpt") {
                            track.points.push_back(Point(point));
                        }
                    }
                }
            }
        }
        return gpx;
    }

    [[noreturn]] void Fail(const pugi::xml_node& node, const std::string& what) const {
        // The element's offset is that of its name: the "<" before it is where it starts.
        std::ptrdiff_t at = node.offset_debug();
        if (at > 0 && static_cast<std::size_t>(at) <= text_.size() && text_[static_cast<std::size_t>(at) - 1] == '<') {
            --at;
        }
        throw SettingError(Where(text_, source_, at) + ": " + what);
    }

private:
    static std::string Text(const pugi::xml_node& node, std::string_view child) {
        for (const pugi::xml_node& c : node.children()) {
            if (LocalName(c) == child) {
                return c.text().get();
            }
        }
        return {};
    }
    static const pugi::xml_node* Child(const pugi::xml_node& node, std::string_view child, pugi::xml_node& found) {
        for (const pugi::xml_node& c : node.children()) {
            if (LocalName(c) == child) {
                found = c;
                return &found;
            }
        }
        return nullptr;
    }

    // The number in `text`, within ±limit (a whole number of `unit`).
    double Number(const pugi::xml_node& node, std::string_view text, const std::string& what, long limit,
                  std::string_view unit) const {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) {
            text.remove_prefix(1);
        }
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) {
            text.remove_suffix(1);
        }
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const std::string what_ = "<" + std::string(node.name()) + "> " + what + " '" + Printable(text) + "'";
        if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
            Fail(node, what_ + " is not a number");
        }
        if (std::fabs(value) > static_cast<double>(limit)) {
            Fail(node, what_ + " is beyond ±" + std::to_string(limit) + std::string(unit));
        }
        return value;
    }

    GpxPoint Point(const pugi::xml_node& node) const {
        GpxPoint p;
        p.name = Text(node, "name");
        p.lat = Number(node, node.attribute("lat").value(), "lat", 90, "°");
        p.lon = Number(node, node.attribute("lon").value(), "lon", 180, "°");
        pugi::xml_node child;
        if (Child(node, "ele", child)) {
            // Higher than anything a receiver flies with, and still a field of GGA.
            p.elevation = Number(child, child.text().get(), "value", kMaxElevation, " m");
        }
        if (Child(node, "time", child)) {
            p.time = ParseIsoTime(child.text().get());
            if (!p.time) {
                Fail(child, "<time> '" + Printable(child.text().get()) + "' is not a UTC time like 2026-12-08T12:00:00Z");
            }
        }
        return p;
    }

    std::string_view text_;
    std::string_view source_;
};

bool SamePlace(GeoPoint a, const GpxPoint& b) { return std::fabs(a.lat - b.lat) < 1e-7 && std::fabs(a.lon - b.lon) < 1e-7; }

// The receiver's waypoints as AddGpx places the file's points among them:
// a point takes the first of NAME, "NAME (2)", "NAME (3)" … that is either
// a waypoint at its place or free. Names are indexed as the candidates they
// are, so each point is placed in constant time however many share a name.
class WayPointPlacer {
public:
    explicit WayPointPlacer(TKovraNMEAGenerator& gps) : gps_(gps) {
        const TWayPoints& list = gps.WayPoints();
        for (int i = 0; i < list.Count(); ++i) {
            if (const TWayPoint* w = list.GetItem(i)) {
                Index(w->Name(), PositionOf(*w));
            }
        }
    }

    std::string Place(const GpxPoint& point, const std::string& fallback) {
        const std::string name = point.name.empty() ? fallback : point.name;
        const std::string base = NameKey(name);
        int& free = firstFree_.try_emplace(base, 1).first->second;
        while (taken_.contains(Candidate(base, free))) {
            ++free;
        }
        // The lowest candidate at this place counts only when it comes before the first free one.
        if (const Here* here = Find(base, point); here != nullptr && here->suffix < free) {
            return here->name;
        }
        if (added_ >= kMaxGpxWayPoints) {
            throw SettingError("the GPX file gives more than " + std::to_string(kMaxGpxWayPoints) +
                               " waypoints with its route points, more than a receiver holds");
        }
        const std::string candidate = free == 1 ? name : name + " (" + std::to_string(free) + ")";
        auto w = std::make_unique<TWayPoint>(candidate);
        SetPosition(*w, {point.lat, point.lon});
        (void)gps_.WayPoints().Add(std::move(w));
        ++added_;
        Index(candidate, {point.lat, point.lon});
        return candidate;
    }

private:
    struct Here {
        std::string name;
        int suffix;
        GeoPoint place;
    };
    using Cell = std::tuple<std::string, std::int64_t, std::int64_t>;  // base name, place to 1e-7 degrees
    struct CellHash {
        std::size_t operator()(const Cell& c) const {
            return std::hash<std::string>()(std::get<0>(c)) ^ (std::hash<std::int64_t>()(std::get<1>(c)) * 31) ^
                   (std::hash<std::int64_t>()(std::get<2>(c)) * 1'000'003);
        }
    };

    static std::string Candidate(const std::string& base, int suffix) {
        return suffix == 1 ? base : base + " (" + std::to_string(suffix) + ")";
    }
    static std::int64_t Grid(double degrees) { return std::llround(degrees * 1e7); }

    // A name N is the candidate (N, 1), and (B, k) too when it reads "B (k)" with k from 2.
    void Index(const std::string& name, GeoPoint place) {
        const std::string key = NameKey(name);
        taken_.insert(key);
        Remember(key, 1, name, place);
        const std::size_t open = key.rfind(" (");
        if (open == std::string::npos || key.back() != ')' || open + 3 >= key.size()) {
            return;
        }
        const std::string digits = key.substr(open + 2, key.size() - open - 3);
        int suffix = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), suffix);
        if (error == std::errc() && end == digits.data() + digits.size() && suffix >= 2 &&
            std::to_string(suffix) == digits) {
            Remember(key.substr(0, open), suffix, name, place);
        }
    }
    void Remember(const std::string& base, int suffix, const std::string& name, GeoPoint place) {
        auto [at, added] = places_.try_emplace(Cell{base, Grid(place.lat), Grid(place.lon)}, Here{name, suffix, place});
        if (!added && suffix < at->second.suffix) {
            at->second = Here{name, suffix, place};
        }
    }
    // The lowest candidate of `base` at the point's place: the cells around it hold every one within 1e-7°.
    const Here* Find(const std::string& base, const GpxPoint& point) const {
        const Here* best = nullptr;
        for (std::int64_t dlat = -1; dlat <= 1; ++dlat) {
            for (std::int64_t dlon = -1; dlon <= 1; ++dlon) {
                const auto at = places_.find(Cell{base, Grid(point.lat) + dlat, Grid(point.lon) + dlon});
                if (at != places_.end() && SamePlace(at->second.place, point) &&
                    (best == nullptr || at->second.suffix < best->suffix)) {
                    best = &at->second;
                }
            }
        }
        return best;
    }

    TKovraNMEAGenerator& gps_;
    std::unordered_set<std::string> taken_;               // every name's key
    std::unordered_map<std::string, int> firstFree_;      // per base: no free candidate below it
    std::unordered_map<Cell, Here, CellHash> places_;     // per base and place: its lowest candidate
    int added_ = 0;
};

}  // namespace

Gpx ParseGpx(std::string_view text, std::string_view source) {
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        throw SettingError(Where(text, source, result.offset) + ": not well-formed XML: " + result.description());
    }
    return GpxReader(text, source).Read(document.document_element());
}

Gpx LoadGpx(const std::string& path) {
    std::optional<std::string> text;
    try {
        text = ReadDataFile(ToPath(FileNameFromUtf8(path)));
    } catch (const std::exception& e) {
        throw SettingError("cannot read GPX file '" + Printable(path) + "': " + e.what());
    }
    if (!text) {
        throw SettingError("cannot read GPX file '" + Printable(path) + "': No such file or directory");
    }
    return ParseGpx(*text, path);
}

std::vector<std::string> AddGpx(TKovraNMEAGenerator& gps, const Gpx& gpx) {
    WayPointPlacer placer(gps);
    for (std::size_t i = 0; i < gpx.waypoints.size(); ++i) {
        (void)placer.Place(gpx.waypoints[i], "WPT" + std::to_string(i + 1));
    }
    std::unordered_set<std::string> routeNames;
    for (int i = 0; i < gps.Routes().Count(); ++i) {
        if (const TRoute* r = gps.Routes().GetItem(i)) {
            routeNames.insert(NameKey(r->Name()));
        }
    }
    if (gpx.routes.size() > kMaxGpxRoutes) {
        throw SettingError("the GPX file gives " + std::to_string(gpx.routes.size()) + " routes, more than the " +
                           std::to_string(kMaxGpxRoutes) + " a receiver holds");
    }
    std::unordered_map<std::string, int> nextSuffix;  // per base: the " (k)" to try first
    std::vector<std::string> names;
    for (std::size_t r = 0; r < gpx.routes.size(); ++r) {
        const GpxRoute& route = gpx.routes[r];
        const std::string base = route.name.empty() ? "ROUTE" + std::to_string(r + 1) : route.name;
        std::string name = base;
        for (int& k = nextSuffix.try_emplace(NameKey(base), 2).first->second; routeNames.contains(NameKey(name)); ++k) {
            name = base + " (" + std::to_string(k) + ")";
        }
        routeNames.insert(NameKey(name));
        std::vector<std::string> points;
        for (std::size_t p = 0; p < route.points.size(); ++p) {
            points.push_back(placer.Place(route.points[p], name + " " + std::to_string(p + 1)));
        }
        auto added = std::make_unique<TRoute>(name);
        added->WayPoints(points);
        (void)gps.Routes().Add(std::move(added));
        names.push_back(name);
    }
    return names;
}

}  // namespace kovra::engine
