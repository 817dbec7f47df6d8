// The route file: the section "Route" with the route's name, then one section
// per waypoint name whose key "Name" repeats it.
#include <stdexcept>

#include "host/IniFile.h"
#include "host/Text.h"
#include "waypoints/Route.h"

namespace kovra {

namespace {
constexpr std::string_view kRouteSection = "Route";
}

void TRoute::SaveToFile(const TFileName& FileName) const {
    IniFile ini;
    ini.WriteString(kRouteSection, "Name", FName);
    for (const std::string& name : FWayPoints) {
        ini.WriteString(name, "Name", name);
    }
    ini.Save(ToPath(FileName));
}

void TRoute::LoadFromFile(const TFileName& FileName) {
    const std::optional<IniFile> ini = IniFile::Load(ToPath(FileName));
    if (!ini) {
        return;
    }
    const std::vector<std::string> sections = ini->SectionNames();
    if (sections.empty()) {
        throw std::out_of_range("\"" + ToPath(FileName).string() + "\" holds no section, so it is no route file");
    }
    std::string name = "0";
    if (SameName(sections.front(), kRouteSection)) {
        name = ini->ReadString(sections.front(), "Name", "0");
    }
    TNameList names;
    for (const std::string& section : sections) {
        if (!SameName(section, kRouteSection)) {
            names.push_back(ini->ReadString(section, "Name", ""));
        }
    }
    FName = std::move(name);
    FWayPoints = std::move(names);
}

}  // namespace kovra
