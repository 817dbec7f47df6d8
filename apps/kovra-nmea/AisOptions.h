// A vessel's AIS station as --ais and --ais-target write it:
// "class=A,mmsi=211234560,name=KIEL FERRY,type=60" and, for a target,
// where it is and goes ("lat=54.33,lon=10.16,course=200,speed=12") or the
// closest approach it makes to own ship ("cpa=0.3,in=360,bearing=45,speed=12").
#pragma once

#include <optional>
#include <string>

#include "engine/ais/Encounter.h"
#include "engine/ais/Transponder.h"

namespace kovra::app {

struct AisGiven {
    engine::ais::Identity identity;
    std::optional<engine::ais::CrossingRule> crossing;
    // A target's own place and motion (--ais-target), as the options write them.
    std::optional<std::string> lat, lon;
    std::optional<double> course, speed;
};

// UsageError naming what is wrong: an unknown key, a value out of its
// field's range, an MMSI that is not nine digits or not of its device's form.
AisGiven ParseAis(const std::string& text, bool target);

}  // namespace kovra::app
