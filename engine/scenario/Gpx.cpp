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

constexpr double kSecondsPerDay = 86'400;
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

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::string Fixed(double value, int decimals) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

// A text as XML character data: markup escaped; control characters and
// bytes that are not UTF-8 (which XML cannot carry) as U+FFFD.
std::string XmlText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (c >= 0x80) {
            length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
            bool valid = length > 0 && i + length <= text.size() && c >= 0xC2 && c <= 0xF4;
            for (std::size_t k = 1; valid && k < length; ++k) {
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            }
            if (valid) {
                out.append(text.substr(i, length));
                i += length;
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c < 0x20 && c != '\t' ? std::string("\xEF\xBF\xBD") : std::string(1, static_cast<char>(c));
        }
        i += length;
    }
    return out;
}

std::string PointAttributes(GeoPoint p) { return "lat=\"" + Fixed(p.lat, 8) + "\" lon=\"" + Fixed(p.lon, 8) + "\""; }

namespace {

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

std::optional<TDateTime> ParseIsoTime(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != 't' && text[10] != ' ') ||
        !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute) || text[16] != ':' ||
        !Digits(text, 17, 2, second)) {
        return std::nullopt;
    }
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month) || hour > 23 ||
        minute > 59 || second > 60) {
        return std::nullopt;
    }
    std::size_t at = 19;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        if (++at >= text.size() || text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10) {
            fraction += (text[at] - '0') * scale;
        }
    }
    double offset = 0;  // seconds east of UTC
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int hours = 0, minutes = 0;
        const std::size_t colon = at + 3 < text.size() && text[at + 3] == ':' ? 1 : 0;
        if (!Digits(text, at + 1, 2, hours) || !Digits(text, at + 3 + colon, 2, minutes) || hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        offset = (text[at] == '-' ? -1 : 1) * (hours * 3600.0 + minutes * 60.0);
        at += 5 + colon;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return EncodeDateTime(year, month, day, hour, minute) + (second + fraction - offset) / kSecondsPerDay;
}

std::string IsoTime(TDateTime time) {
    const DecodedDateTime t = DecodeDateTime(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return text;
}

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
