#include "engine/scenario/Gpx.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600;
constexpr double kRecordInterval = 0.1;  // seconds of simulated time between recorded points
// Times in a file are kept to the millisecond; a date-time as a double to about a microsecond.
constexpr double kTimeTolerance = 1e-3;
constexpr long kMaxElevation = 100'000;  // metres
constexpr double kMaxTrackSpeed = 1000;  // knots, as the live view's control allows
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

TrackSailor::TrackSailor(GpxTrack track, bool loop) : track_(std::move(track)), loop_(loop) {
    const std::string name = "track '" + Printable(track_.name) + "'";
    if (track_.points.size() < 2) {
        throw SettingError(name + " has fewer than two points to sail between");
    }
    for (std::size_t i = 0; i < track_.points.size(); ++i) {
        const std::optional<TDateTime>& time = track_.points[i].time;
        if (!time) {
            throw SettingError(name + ": point " + std::to_string(i + 1) + " has no <time>");
        }
        if (!times_.empty() && *time < times_.back()) {
            throw SettingError(name + ": the time of point " + std::to_string(i + 1) + " goes back");
        }
        times_.push_back(*time);
        offsets_.push_back((*time - times_.front()) * kSecondsPerDay);
    }
}

double TrackSailor::Duration() const { return offsets_.back(); }

bool TrackSailor::Place(TKovraNMEAGenerator& gps, double elapsed) {
    const double duration = Duration();
    if (elapsed > duration + kTimeTolerance) {
        if (!loop_ || duration <= 0) {
            return false;
        }
        elapsed = std::fmod(elapsed, duration);
    }
    // Updates move forward through the track; a loop starts it again.
    if (segment_ + 1 >= offsets_.size() || offsets_[segment_] > elapsed) {
        segment_ = 0;
    }
    while (segment_ + 2 < offsets_.size() && offsets_[segment_ + 1] <= elapsed) {
        ++segment_;
    }
    const GpxPoint& a = track_.points[segment_];
    const GpxPoint& b = track_.points[segment_ + 1];
    const double span = offsets_[segment_ + 1] - offsets_[segment_];
    const double f = span > 0 ? std::clamp((elapsed - offsets_[segment_]) / span, 0.0, 1.0) : 1;
    const GeoPoint from{a.lat, a.lon}, to{b.lat, b.lon};
    const double distance = DistanceNm(from, to);
    double course = static_cast<double>(gps.Heading());
    GeoPoint here = from;
    if (distance > 0) {
        here = Destination(from, InitialBearing(from, to), f * distance, course);
    }
    SetPosition(gps, here);
    const double speed = span > 0 ? distance / (span / 3600) : 0;
    overspeed_ = speed > kMaxTrackSpeed;
    gps.Speed(std::min(speed, kMaxTrackSpeed));
    gps.Heading(std::fmod(course + 360, 360));
    gps.Magnetic_Heading(MagneticHeading(gps.Heading(), gps.Magnetic_Variation(), gps.Magnetic_Variation_Direction()));
    if (a.elevation && b.elevation) {
        gps.Altitude(*a.elevation + f * (*b.elevation - *a.elevation));
    } else if (a.elevation || b.elevation) {
        gps.Altitude(a.elevation ? *a.elevation : *b.elevation);
    }
    return true;
}

namespace {

constexpr auto kFlushInterval = std::chrono::seconds(10);  // of wall time
constexpr std::size_t kFlushSize = 64 * 1024;              // bytes of points gathered
constexpr std::string_view kClosingTags = "    </trkseg>\n  </trk>\n</gpx>\n";

// Hidden files ".NAME.<digits>.tmp" that the saves of a run killed midway left beside `file`.
void RemoveLeftovers(const std::filesystem::path& file) {
    const std::string prefix = "." + file.filename().string() + ".";
    constexpr std::string_view kSuffix = ".tmp";
    std::error_code error;
    const std::filesystem::path directory = file.has_parent_path() ? file.parent_path() : ".";
    for (auto it = std::filesystem::directory_iterator(directory, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + kSuffix.size() || !name.starts_with(prefix) || !name.ends_with(kSuffix)) {
            continue;
        }
        const std::string_view middle =
            std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
        std::error_code kind;
        if (std::all_of(middle.begin(), middle.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            it->is_regular_file(kind) && !it->is_symlink(kind)) {
            std::filesystem::remove(it->path(), kind);
        }
    }
}

std::string RecordingHead(const TKovraNMEAGenerator& gps) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"kovra-nmea\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
        "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";
    const TWayPoints& waypoints = gps.WayPoints();
    for (int i = 0; i < waypoints.Count(); ++i) {
        if (const TWayPoint* w = waypoints.GetItem(i)) {
            text += "  <wpt " + PointAttributes(PositionOf(*w)) + "><name>" + XmlText(w->Name()) + "</name></wpt>\n";
        }
    }
    if (const TRoute* route = gps.Routes().ActiveRoute()) {
        text += "  <rte><name>" + XmlText(route->Name()) + "</name>\n";
        for (const std::string& name : route->WayPoints()) {
            if (const TWayPoint* w = waypoints.GetByName(name)) {
                text += "    <rtept " + PointAttributes(PositionOf(*w)) + "><name>" + XmlText(w->Name()) +
                        "</name></rtept>\n";
            }
        }
        text += "  </rte>\n";
    }
    return text + "  <trk><name>kovra-nmea</name>\n    <trkseg>\n";
}

}  // namespace

GpxRecorder::GpxRecorder(std::filesystem::path file, const TKovraNMEAGenerator& gps, Notify notify)
    : file_(std::move(file)), notify_(std::move(notify)), lastFlush_(std::chrono::steady_clock::now()) {
    const std::string head = RecordingHead(gps);
    try {
        ReplaceDataFile(file_, head + std::string(kClosingTags));
    } catch (const std::exception& e) {
        throw OutputError(std::string("--record-gpx: ") + e.what());
    }
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(file_, error);  // where a link leads
    if (!error) {
        RemoveLeftovers(resolved);
    }
    // The file just written, through a link as the save followed it.
    fd_ = FileDescriptor(::open(file_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (!fd_.Valid() || ::fstat(fd_.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw OutputError(SystemError("--record-gpx: cannot write '" + Printable(file_.string()) + "'"));
    }
    end_ = static_cast<off_t>(head.size());
}

GpxRecorder::~GpxRecorder() {
    if (fd_.Valid()) {
        Flush();
    }
}

void GpxRecorder::Add(const TKovraNMEAGenerator& gps, double elapsed) {
    if (lastElapsed_ && elapsed - *lastElapsed_ < kRecordInterval - 1e-9) {
        return;
    }
    lastElapsed_ = elapsed;
    const double course = static_cast<double>(gps.Heading());
    pending_ += "      <trkpt " + PointAttributes(PositionOf(gps)) + "><ele>" +
                Fixed(static_cast<double>(gps.Altitude()), 2) + "</ele><time>" + IsoTime(gps.GetUTCDateTime()) +
                "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>" +
                Fixed(static_cast<double>(gps.Speed()) * kMetresPerSecondPerKnot, 3) +
                "</gpxtpx:speed><gpxtpx:course>" + Fixed(course, 2) +
                "</gpxtpx:course></gpxtpx:TrackPointExtension></extensions></trkpt>\n";
    ++pendingPoints_;
    if (pending_.size() >= kFlushSize || std::chrono::steady_clock::now() - lastFlush_ >= kFlushInterval) {
        Flush();
    }
}

bool GpxRecorder::Write(std::string_view text, off_t at) {
    while (!text.empty()) {
        const ssize_t written = ::pwrite(fd_.Get(), text.data(), text.size(), at);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
        at += written;
    }
    return true;
}

void GpxRecorder::Flush() {
    lastFlush_ = std::chrono::steady_clock::now();
    if (pending_.empty()) {
        return;
    }
    pending_ += kClosingTags;
    if (Write(pending_, end_)) {
        end_ += static_cast<off_t>(pending_.size() - kClosingTags.size());
        failing_ = false;
    } else {
        const std::string reason = std::strerror(errno);
        // Back to the file as it was: its points, then the closing tags.
        const bool restored = Write(kClosingTags, end_) &&
                              ::ftruncate(fd_.Get(), end_ + static_cast<off_t>(kClosingTags.size())) == 0;
        lost_ += pendingPoints_;
        if (!failing_) {
            notify_("warning: --record-gpx: cannot write '" + Printable(file_.string()) + "': " + reason + "; " +
                    std::to_string(pendingPoints_) + " track points lost, the run goes on" +
                    (restored ? "" : " (the file may end unclosed)"));
        }
        failing_ = true;
    }
    pending_.clear();
    pendingPoints_ = 0;
}

void GpxRecorder::Finish() {
    Flush();
    if (::fsync(fd_.Get()) != 0) {
        notify_(SystemError("warning: --record-gpx: cannot flush '" + Printable(file_.string()) + "' to disk"));
    }
    if (lost_ > 0) {
        notify_("--record-gpx: " + std::to_string(lost_) + " track points could not be written");
    }
}

}  // namespace kovra::engine
