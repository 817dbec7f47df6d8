#include "engine/input/Autopilot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

namespace kovra::engine::input {

namespace {

std::optional<double> Decimal(const std::vector<std::string_view>& f, std::size_t i) {
    double value = 0;
    if (i >= f.size() || f[i].empty()) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(f[i].data(), f[i].data() + f[i].size(), value);
    return error == std::errc() && end == f[i].data() + f[i].size() ? std::optional(value) : std::nullopt;
}

// A heading in field i with its reference (T or M) in the next, as true degrees.
std::optional<double> Heading(const std::vector<std::string_view>& f, std::size_t i, double variation) {
    const std::optional<double> value = Decimal(f, i);
    if (!value || *value < 0 || *value >= 360 || i + 1 >= f.size() || (f[i + 1] != "T" && f[i + 1] != "M")) {
        return std::nullopt;
    }
    const double heading = f[i + 1] == "M" ? *value + variation : *value;
    return heading - 360 * std::floor(heading / 360);
}

// Back onto the leg: ten degrees a tenth of a mile off, thirty at most.
double Correction(double crossTrackNm, std::string_view steer) {
    const double degrees = std::min(30.0, 100 * std::max(0.0, crossTrackNm));
    return steer == "L" ? -degrees : degrees;
}

}  // namespace

std::optional<HelmOrder> HelmOrderOf(const Frame& frame, double variation) {
    if (frame.kind != Frame::Kind::Nmea || frame.body.size() < 6 || frame.body[0] == 'P') {
        return std::nullopt;
    }
    const std::vector<std::string_view> f = FieldsOf(frame.body);
    const std::string_view kind = f[0].substr(2);
    HelmOrder order{std::string(kind)};
    if (kind == "APB") {
        // Status, status, XTE, steer, units, arrival, perpendicular, bearing origin to destination (and T/M),
        // destination, bearing to it (T/M), heading to steer (T/M), mode.
        if (f.size() < 15 || f[1] != "A" || f[2] != "A") {
            return std::nullopt;
        }
        order.course = Heading(f, 13, variation);
        if (!order.course) {
            order.course = Heading(f, 11, variation);
        }
    } else if (kind == "RMB") {
        if (f.size() < 12 || f[1] != "A") {
            return std::nullopt;
        }
        if (const std::optional<double> bearing = Decimal(f, 11); bearing && *bearing >= 0 && *bearing < 360) {
            order.course = *bearing;
        }
    } else if (kind == "HSC") {
        order.course = Heading(f, 1, 0);
        if (!order.course) {
            order.course = Heading(f, 3, variation);
        }
    } else if (kind == "XTE") {
        const std::optional<double> error = Decimal(f, 3);
        if (f.size() < 6 || f[1] != "A" || f[2] != "A" || !error || (f[4] != "L" && f[4] != "R")) {
            return std::nullopt;
        }
        order.correction = Correction(*error, f[4]);
        return order;
    } else {
        return std::nullopt;
    }
    return order.course ? std::optional(order) : std::nullopt;
}

}  // namespace kovra::engine::input
