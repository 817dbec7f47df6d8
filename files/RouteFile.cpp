// The route file: the section "Route" with the route's name, then one section
// per waypoint name whose key "Name" repeats it.
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "files/IniFile.h"
#include "foundation/Text.h"
#include "waypoints/Route.h"

namespace kovra {

namespace {
constexpr std::string_view kRouteSection = "Route";

// A section name for each occurrence of a waypoint name: the first keeps the
// name itself, a repeat (or a name matching "Route" or an earlier section)
// gets " (2)", " (3)", ... Loaders read the name from the key "Name", so
// the route reads back exactly as saved.
class SectionNames {
public:
    SectionNames() { (void)used_.insert(NameKey(kRouteSection)); }

    std::string For(const std::string& name) {
        std::string section = name;
        int& suffix = nextSuffix_[NameKey(name)];
        while (!used_.insert(NameKey(section)).second) {
            suffix = suffix < 2 ? 2 : suffix + 1;
            section = name + " (" + std::to_string(suffix) + ")";
        }
        return section;
    }

private:
    std::unordered_set<std::string> used_;
    std::unordered_map<std::string, int> nextSuffix_;
};

}  // namespace

void TRoute::SaveToFile(const TFileName& FileName) const {
    const std::filesystem::path path = ToPath(FileName);
    IniFile ini;
    ini.WriteString(kRouteSection, "Name", FName);
    SectionNames sections;
    for (const std::string& name : FWayPoints) {
        ini.WriteString(sections.For(name), "Name", name);
    }
    ini.Save(path);
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
