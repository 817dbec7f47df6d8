#include "engine/scenario/Timeline.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kovra::engine {

namespace {

std::string Number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string SystemsText(const std::vector<Gnss>& systems) {
    static constexpr const char* kNames[] = {"", "gps", "glonass", "galileo", "beidou"};
    std::string text;
    for (const Gnss system : systems) {
        text += (text.empty() ? "" : ",") + std::string(kNames[static_cast<int>(system)]);
    }
    return text;
}

}  // namespace

std::string Described(const Action& a) {
    std::vector<std::string> parts;
    const auto number = [&](const char* name, const std::optional<double>& value) {
        if (value) parts.push_back(std::string(name) + " " + Number(*value));
    };
    const auto onOff = [&](const char* name, const std::optional<bool>& value) {
        if (value) parts.push_back(std::string(name) + (*value ? " on" : " off"));
    };
    number("course", a.course);
    number("speed", a.speed);
    number("altitude", a.altitude);
    number("rate_of_turn", a.rateOfTurn);
    if (a.goTo) parts.push_back("goto " + *a.goTo);
    if (a.route) parts.push_back("route " + *a.route);
    onOff("pause", a.pause);
    onOff("outage", a.outage);
    onOff("freeze", a.freeze);
    number("speedup", a.speedup);
    number("depth", a.depth);
    if (a.wind) {
        parts.push_back("wind " + Number(a.wind->from) + "," + Number(a.wind->knots) +
                        (a.wind->gusts > a.wind->knots ? "," + Number(a.wind->gusts) : ""));
    }
    if (a.current) parts.push_back("current " + Number(a.current->set) + "," + Number(a.current->drift));
    number("drop", a.chances.drop);
    number("corrupt", a.chances.corrupt);
    number("truncate", a.chances.truncate);
    number("garbage", a.chances.garbage);
    if (!a.systemsOff.empty()) parts.push_back("systems off " + SystemsText(a.systemsOff));
    if (!a.systemsOn.empty()) parts.push_back("systems on " + SystemsText(a.systemsOn));
    if (a.stop) parts.push_back("stop");
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

TDateTime Timeline::At(double elapsed) const {
    const auto milliseconds = static_cast<std::int64_t>(std::llround(elapsed * 1000.0));
    return start + static_cast<double>(milliseconds) / 86'400'000.0;
}

void Timeline::Add(Event event) {
    const auto after = std::upper_bound(events_.begin(), events_.end(), event.at,
                                        [](double at, const Event& e) { return at < e.at; });
    events_.insert(after, std::move(event));
}

std::vector<Event> Timeline::TakeDue(double elapsed) {
    // An event counts for the update whose time it reaches, within a rounding of the period.
    const auto end = std::find_if(events_.begin(), events_.end(),
                                  [&](const Event& e) { return e.at > elapsed + 1e-9; });
    std::vector<Event> due(std::make_move_iterator(events_.begin()), std::make_move_iterator(end));
    events_.erase(events_.begin(), end);
    return due;
}

}  // namespace kovra::engine
