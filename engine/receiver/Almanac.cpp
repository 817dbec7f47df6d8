// GPS almanacs in the YUMA format, as the US Coast Guard publishes them:
// each entry read field by field, every value no orbit can have refused
// with its file and line.
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>

#include "engine/receiver/Sky.h"
#include "engine/run/Errors.h"

namespace kovra::engine {

namespace {

constexpr double kPi = std::numbers::pi;

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One YUMA entry as it is read: the fields by their labels, each with its line.
// A number for a message, as short as it reads: 1e+200, 2525, 0.001.
std::string Shown(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

class YumaEntry {
public:
    YumaEntry(std::string_view source, int line) : source_(source), line_(line) {}

    void Add(std::string_view label, std::string_view value, int line) {
        fields_[std::string(label)] = {std::string(value), line};
    }
    double Number(const std::string& label) const {
        const auto found = fields_.find(label);
        if (found == fields_.end()) {
            Fail(line_, "the entry has no \"" + label + ":\"");
        }
        const std::string& text = found->second.first;
        double value = 0;
        const char* begin = text.data() + (!text.empty() && text.front() == '+' ? 1 : 0);
        const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
            Fail(found->second.second, "\"" + label + ":\" is not a number");
        }
        return value;
    }
    // A number no orbit can do without: within [low, high], or the file and line are named.
    double Number(const std::string& label, double low, double high) const {
        const double value = Number(label);
        if (value < low || value > high) {
            Fail(fields_.at(label).second, "\"" + label + ":\" " + Shown(value) + " lies outside " + Shown(low) +
                                               " to " + Shown(high) + ", where no orbit has it");
        }
        return value;
    }
    [[noreturn]] void Fail(int line, const std::string& what) const {
        throw SettingError(std::string(source_) + ":" + std::to_string(line) + ": " + what);
    }
    int Line() const { return line_; }

private:
    std::string_view source_;
    int line_;
    std::map<std::string, std::pair<std::string, int>> fields_;
};

OrbitingSatellite SatelliteOf(const YumaEntry& entry, GpsSeconds near) {
    const double id = entry.Number("ID");
    if (id < 1 || id > 32 || id != std::trunc(id)) {
        entry.Fail(entry.Line(), "\"ID:\" must be a PRN from 1 to 32");
    }
    const double eccentricity = entry.Number("Eccentricity");
    if (eccentricity < 0 || eccentricity >= 1) {
        entry.Fail(entry.Line(), "\"Eccentricity:\" must lie in [0, 1)");
    }
    // From just above the Earth's surface to 100,000 km.
    const double sqrtA = entry.Number("SQRT(A)  (m 1/2)", 2525, 10'000);
    // The week counts modulo 1024: take the full week nearest the time given.
    const double week = entry.Number("week", 0, 9999);
    const double nearWeek = std::floor(near / kSecondsPerWeek);
    const double fullWeek = week + 1024 * std::round((nearWeek - week) / 1024);
    const double toa = entry.Number("Time of Applicability(s)", 0, kSecondsPerWeek);
    OrbitingSatellite satellite;
    satellite.system = Gnss::Gps;
    satellite.number = static_cast<int>(id);
    satellite.healthy = entry.Number("Health") == 0;
    satellite.orbit.sqrtA = sqrtA;
    satellite.orbit.eccentricity = eccentricity;
    satellite.orbit.inclination = entry.Number("Orbital Inclination(rad)", 0, kPi);
    satellite.orbit.rateOfRightAscension = entry.Number("Rate of Right Ascen(r/s)", -1e-3, 1e-3);
    // The almanac gives the node's longitude at the start of the week; at
    // the time of applicability the Earth has turned on by ωe·toa.
    satellite.orbit.nodeLongitude = entry.Number("Right Ascen at Week(rad)", -2 * kPi, 2 * kPi) - kEarthRotation * toa;
    satellite.orbit.argumentOfPerigee = entry.Number("Argument of Perigee(rad)", -2 * kPi, 2 * kPi);
    satellite.orbit.meanAnomaly = entry.Number("Mean Anom(rad)", -2 * kPi, 2 * kPi);
    satellite.orbit.reference = fullWeek * kSecondsPerWeek + toa;
    return satellite;
}

}  // namespace

std::vector<OrbitingSatellite> ReadYumaAlmanac(std::string_view text, std::string_view source, GpsSeconds near) {
    std::vector<OrbitingSatellite> satellites;
    std::vector<YumaEntry> entries;  // the one being read, once its header has come
    std::map<int, int> firstLine;     // of each PRN's entry
    int line = 0;
    const auto finish = [&] {
        if (!entries.empty()) {
            satellites.push_back(SatelliteOf(entries.back(), near));
            const auto [at, added] = firstLine.try_emplace(satellites.back().number, entries.back().Line());
            if (!added) {
                entries.back().Fail(entries.back().Line(), "PRN " + std::to_string(at->first) +
                                                               " is given again (first at line " +
                                                               std::to_string(at->second) + ")");
            }
            entries.clear();
        }
    };
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        const std::string_view row = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (row.empty()) {
            continue;
        }
        if (row.starts_with("*")) {  // "******** Week 123 almanac for PRN-01 ********"
            finish();
            entries.emplace_back(source, line);
            continue;
        }
        const std::size_t colon = row.find(':');
        if (entries.empty() || colon == std::string_view::npos) {
            throw SettingError(std::string(source) + ":" + std::to_string(line) +
                               ": not a YUMA almanac line (an entry starts with a line of '*')");
        }
        entries.back().Add(Trimmed(row.substr(0, colon)), Trimmed(row.substr(colon + 1)), line);
    }
    finish();
    if (satellites.empty()) {
        throw SettingError(std::string(source) + ": holds no almanac entry");
    }
    return satellites;
}

}  // namespace kovra::engine
