#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

namespace kovra::app {

namespace {

// 1234567 as "1.23 M", bytes as "MB".
std::string Quantity(double value) {
    const char* units[] = {"", " k", " M", " G", " T"};
    std::size_t unit = 0;
    while (value >= 1000 && unit + 1 < std::size(units)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f%s" : "%.2f%s", value, units[unit]);
    return text;
}

std::string Duration(double seconds) {
    char text[32];
    const auto whole = static_cast<long long>(std::ceil(seconds));
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

void WriteAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // standard error is gone: the bar is only for the eye
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string ProgressLine(const engine::RunProgress& p, int width) {
    const double fraction = p.total > 0 ? std::clamp(p.done / p.total, 0.0, 1.0) : 0;
    const double rate = p.wallSeconds > 0 ? p.done / p.wallSeconds : 0;
    const std::string unit(p.unit);
    std::string tail = " " + std::to_string(static_cast<int>(fraction * 100)) + "% " + Quantity(p.done) + "/" +
                       Quantity(p.total) + " " + unit + ", " + Quantity(rate) + " " + unit + "/s";
    tail += p.finished ? ", done in " + Duration(p.wallSeconds)
                       : rate > 0 ? ", " + Duration((p.total - p.done) / rate) + " left" : "";
    const int bar = std::max(10, width - static_cast<int>(tail.size()) - 2);
    const int filled = static_cast<int>(fraction * bar);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(bar - filled), '.') + "]" + tail;
}

std::function<void(const engine::RunProgress&)> TerminalProgressBar() {
    if (::isatty(STDERR_FILENO) != 1) {
        return {};
    }
    return [](const engine::RunProgress& p) {
        // Clear to the end of the line, so that a shorter line leaves nothing behind.
        WriteAll("\r" + ProgressLine(p, 78) + "\x1b[K" + (p.finished ? "\n" : ""));
    };
}

}  // namespace kovra::app
