#include "engine/record/GpxRecorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>

#include "engine/scenario/Gpx.h"
#include "files/DataFile.h"

namespace kovra::engine {

namespace {

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

constexpr double kRecordInterval = 0.1;  // seconds of simulated time between recorded points
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

std::string RecordingHead(const World& world, const std::string& routeName) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"kovra-nmea\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
        "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";
    for (const WayPoint& w : world.waypoints) {
        text += "  <wpt " + PointAttributes(w.position) + "><name>" + XmlText(w.name) + "</name></wpt>\n";
    }
    if (const Route* route = world.FindRoute(routeName)) {
        text += "  <rte><name>" + XmlText(route->name) + "</name>\n";
        for (const std::string& name : route->points) {
            if (const WayPoint* w = world.FindWayPoint(name)) {
                text += "    <rtept " + PointAttributes(w->position) + "><name>" + XmlText(w->name) +
                        "</name></rtept>\n";
            }
        }
        text += "  </rte>\n";
    }
    return text + "  <trk><name>kovra-nmea</name>\n    <trkseg>\n";
}

}  // namespace

GpxRecorder::GpxRecorder(std::filesystem::path file, const World& world, const std::string& route, Notify notify)
    : file_(std::move(file)), notify_(std::move(notify)), lastFlush_(std::chrono::steady_clock::now()) {
    const std::string head = RecordingHead(world, route);
    try {
        ReplaceDataFile(file_, head + std::string(kClosingTags));
    } catch (const std::exception& e) {
        throw OutputError(e.what());
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
        throw OutputError(SystemError("cannot write '" + Printable(file_.string()) + "'"));
    }
    end_ = static_cast<off_t>(head.size());
}

GpxRecorder::~GpxRecorder() {
    if (fd_.Valid()) {
        Flush();
    }
}

void GpxRecorder::Add(const VesselState& state, TDateTime time, double elapsed) {
    if (lastElapsed_ && elapsed - *lastElapsed_ < kRecordInterval - 1e-9) {
        return;
    }
    lastElapsed_ = elapsed;
    pending_ += "      <trkpt " + PointAttributes(state.position) + "><ele>" + Fixed(state.altitude, 2) +
                "</ele><time>" + IsoTime(time) + "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>" +
                Fixed(state.speed, 3) + "</gpxtpx:speed><gpxtpx:course>" + Fixed(state.course, 2) +
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
            notify_("warning: cannot write '" + Printable(file_.string()) + "': " + reason + "; " +
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
        notify_(SystemError("warning: cannot flush '" + Printable(file_.string()) + "' to disk"));
    }
    if (lost_ > 0) {
        notify_(std::to_string(lost_) + " track points could not be written to '" + Printable(file_.string()) + "'");
    }
}

}  // namespace kovra::engine
