#include "engine/Gpx.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/Errors.h"
#include "files/DataFile.h"
#include "foundation/Text.h"

namespace kovra::engine {

namespace {

constexpr double kSecondsPerDay = 86'400;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600;
constexpr double kRecordInterval = 0.1;  // seconds of simulated time between recorded points
// Times in a file are kept to the millisecond; a date-time as a double to about a microsecond.
constexpr double kTimeTolerance = 1e-3;

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

    double Number(const pugi::xml_node& node, std::string_view text, const std::string& what, double limit) const {
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
        if (std::fabs(value) > limit) {
            Fail(node, what_ + " is beyond ±" + std::to_string(static_cast<int>(limit)) + "°");
        }
        return value;
    }

    GpxPoint Point(const pugi::xml_node& node) const {
        GpxPoint p;
        p.name = Text(node, "name");
        p.lat = Number(node, node.attribute("lat").value(), "lat", 90);
        p.lon = Number(node, node.attribute("lon").value(), "lon", 180);
        pugi::xml_node child;
        if (Child(node, "ele", child)) {
            p.elevation = Number(child, child.text().get(), "value", 1e300);
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

// The name of the waypoint at the point: one of its name already there, or
// a new one (its name, or the next free "NAME (k)").
std::string PlaceWayPoint(TKovraNMEAGenerator& gps, const GpxPoint& point, const std::string& fallback) {
    const std::string name = point.name.empty() ? fallback : point.name;
    for (int k = 1;; ++k) {
        const std::string candidate = k == 1 ? name : name + " (" + std::to_string(k) + ")";
        if (const TWayPoint* existing = gps.WayPoints().GetByName(candidate)) {
            if (SamePlace(PositionOf(*existing), point)) {
                return existing->Name();
            }
            continue;
        }
        auto w = std::make_unique<TWayPoint>(candidate);
        SetPosition(*w, {point.lat, point.lon});
        (void)gps.WayPoints().Add(std::move(w));
        return candidate;
    }
}

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
    for (std::size_t i = 0; i < gpx.waypoints.size(); ++i) {
        (void)PlaceWayPoint(gps, gpx.waypoints[i], "WPT" + std::to_string(i + 1));
    }
    std::vector<std::string> names;
    for (std::size_t r = 0; r < gpx.routes.size(); ++r) {
        const GpxRoute& route = gpx.routes[r];
        const std::string base = route.name.empty() ? "ROUTE" + std::to_string(r + 1) : route.name;
        std::string name = base;
        for (int k = 2; gps.Routes().GetByName(name) != nullptr; ++k) {
            name = base + " (" + std::to_string(k) + ")";
        }
        std::vector<std::string> points;
        for (std::size_t p = 0; p < route.points.size(); ++p) {
            points.push_back(PlaceWayPoint(gps, route.points[p], name + " " + std::to_string(p + 1)));
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
    gps.Speed(span > 0 ? distance / (span / 3600) : 0);
    gps.Heading(std::fmod(course + 360, 360));
    gps.Magnetic_Heading(MagneticHeading(gps.Heading(), gps.Magnetic_Variation(), gps.Magnetic_Variation_Direction()));
    if (a.elevation && b.elevation) {
        gps.Altitude(*a.elevation + f * (*b.elevation - *a.elevation));
    } else if (a.elevation || b.elevation) {
        gps.Altitude(a.elevation ? *a.elevation : *b.elevation);
    }
    return true;
}

GpxRecorder::GpxRecorder(std::filesystem::path file) : file_(std::move(file)) {}

void GpxRecorder::Add(const TKovraNMEAGenerator& gps, double elapsed) {
    if (lastElapsed_ && elapsed - *lastElapsed_ < kRecordInterval - 1e-9) {
        return;
    }
    lastElapsed_ = elapsed;
    const double course = static_cast<double>(gps.Heading());
    trackPoints_ += "      <trkpt " + PointAttributes(PositionOf(gps)) + "><ele>" +
                    Fixed(static_cast<double>(gps.Altitude()), 2) + "</ele><time>" + IsoTime(gps.GetUTCDateTime()) +
                    "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>" +
                    Fixed(static_cast<double>(gps.Speed()) * kMetresPerSecondPerKnot, 3) +
                    "</gpxtpx:speed><gpxtpx:course>" + Fixed(course, 2) +
                    "</gpxtpx:course></gpxtpx:TrackPointExtension></extensions></trkpt>\n";
}

void GpxRecorder::Save(const TKovraNMEAGenerator& gps) const {
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
    text += "  <trk><name>kovra-nmea</name>\n    <trkseg>\n" + trackPoints_ + "    </trkseg>\n  </trk>\n</gpx>\n";
    try {
        ReplaceDataFile(file_, text);
    } catch (const std::exception& e) {
        throw OutputError(std::string("--record-gpx: ") + e.what());
    }
}

}  // namespace kovra::engine
