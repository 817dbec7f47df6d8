// The waypoint file: one section per waypoint, named after it.
#include "host/IniFile.h"
#include "host/Text.h"
#include "waypoints/WayPoint.h"

namespace kovra {

void TWayPoints::SaveToFile(const TFileName& FileName) const {
    IniFile ini;
    for (int i = 0; i < Count(); ++i) {
        const TWayPoint* w = GetItem(i);
        if (w == nullptr) {
            continue;
        }
        // Waypoints whose names match share one section; the later values win.
        const std::string& section = w->Name();
        ini.WriteString(section, "Name", w->Name());
        ini.WriteInteger(section, "Latitude_Degree", w->Latitude_Degree());
        ini.WriteInteger(section, "Latitude_Minute", w->Latitude_Minute());
        ini.WriteFloat(section, "Latitude_Second", static_cast<double>(w->Latitude_Second()));
        ini.WriteString(section, "Latitude_Direction", w->Latitude_Direction() == TCardinalPoint::cpNorth ? "N" : "S");
        ini.WriteInteger(section, "Longitude_Degree", w->Longitude_Degree());
        ini.WriteInteger(section, "Longitude_Minute", w->Longitude_Minute());
        ini.WriteFloat(section, "Longitude_Second", static_cast<double>(w->Longitude_Second()));
        ini.WriteString(section, "Longitude_Direction", w->Longitude_Direction() == TCardinalPoint::cpEast ? "E" : "W");
    }
    ini.Save(ToPath(FileName));
}

void TWayPoints::LoadFromFile(const TFileName& FileName) {
    // Read first: a file that cannot be read leaves the list as it was.
    const std::optional<IniFile> ini = IniFile::Load(ToPath(FileName));
    Clear();
    if (!ini) {
        return;
    }
    for (const std::string& section : ini->SectionNames()) {
        auto w = std::make_unique<TWayPoint>(section);
        w->Latitude_Degree(ini->ReadInteger(section, "Latitude_Degree", 0));
        w->Latitude_Minute(ini->ReadInteger(section, "Latitude_Minute", 0));
        w->Latitude_Second(ini->ReadFloat(section, "Latitude_Second", 0));
        w->Latitude_Direction(ini->ReadString(section, "Latitude_Direction", "N") == "N" ? TCardinalPoint::cpNorth
                                                                                         : TCardinalPoint::cpSouth);
        w->Longitude_Degree(ini->ReadInteger(section, "Longitude_Degree", 0));
        w->Longitude_Minute(ini->ReadInteger(section, "Longitude_Minute", 0));
        w->Longitude_Second(ini->ReadFloat(section, "Longitude_Second", 0));
        w->Longitude_Direction(ini->ReadString(section, "Longitude_Direction", "E") == "E" ? TCardinalPoint::cpEast
                                                                                           : TCardinalPoint::cpWest);
        (void)Add(std::move(w));  // a name loaded before keeps its place; this one is dropped
    }
}

}  // namespace kovra
