// A satellite as an update reported it: what a receiver tells and the live
// view shows, plain data both share.
#pragma once

#include <optional>
#include <string>

namespace kovra::engine {

struct ReportedSatellite {
    std::string system;  // "GPS", "GLONASS", "Galileo", "BeiDou"
    int prn = 0;         // as the sentences number it
    int elevation = 0;
    int azimuth = 0;
    std::optional<int> snr;
    bool used = false;
};

}  // namespace kovra::engine
