// The waypoint file: one section per waypoint, named after it.
#include <unordered_set>

#include "files/IniFile.h"
#include "foundation/Text.h"
#include "nmea/Format.h"
#include "waypoints/WayPoint.h"

namespace kovra {

namespace {

// Degrees, minutes and seconds as the file holds them.
struct AngleText {
    std::int32_t degree;
    std::int32_t minute;
    std::string second;
};

// A second just below 60 whose 15-digit text would read "60" carries into
// the minute and the degree, as the sentences do, so the file reads back to
// a valid position. Where the degree cannot take the carry, the second is
// written as the largest 15-digit text below 60.
AngleText FileAngle(std::int32_t degree, std::int32_t minute, Extended second, std::int32_t maxDegree) {
    const char separator = nmea::HostDecimalSeparator();
    std::string text = nmea::FloatToStr(static_cast<double>(second), separator);
    if (text != "60") {
        return {degree, minute, std::move(text)};
    }
    if (minute < 59) {
        return {degree, minute + 1, "0"};
    }
    if (degree < maxDegree) {
        return {degree + 1, 0, "0"};
    }
    return {degree, minute, std::string("59") + separator + "9999999999999"};
}

void WriteAngle(IniFile& ini, const std::string& section, std::string_view prefix, const AngleText& angle) {
    const std::string p(prefix);
    ini.WriteInteger(section, p + "_Degree", angle.degree);
    ini.WriteInteger(section, p + "_Minute", angle.minute);
    ini.WriteString(section, p + "_Second", angle.second);
}

std::unique_ptr<TWayPoint> ReadWayPoint(const IniFile& ini, const std::string& section) {
    auto w = std::make_unique<TWayPoint>(section);
    w->Latitude_Degree(ini.ReadInteger(section, "Latitude_Degree", 0));
    w->Latitude_Minute(ini.ReadInteger(section, "Latitude_Minute", 0));
    w->Latitude_Second(ini.ReadFloat(section, "Latitude_Second", 0));
    w->Latitude_Direction(ini.ReadString(section, "Latitude_Direction", "N") == "N" ? TCardinalPoint::cpNorth
                                                                                   : TCardinalPoint::cpSouth);
    w->Longitude_Degree(ini.ReadInteger(section, "Longitude_Degree", 0));
    w->Longitude_Minute(ini.ReadInteger(section, "Longitude_Minute", 0));
    w->Longitude_Second(ini.ReadFloat(section, "Longitude_Second", 0));
    w->Longitude_Direction(ini.ReadString(section, "Longitude_Direction", "E") == "E" ? TCardinalPoint::cpEast
                                                                                     : TCardinalPoint::cpWest);
    return w;
}

}  // namespace

void TWayPoints::SaveToFile(const TFileName& FileName) const {
    const std::filesystem::path path = ToPath(FileName);
    IniFile ini;
    for (int i = 0; i < Count(); ++i) {
        const TWayPoint* w = GetItem(i);
        if (w == nullptr) {
            continue;
        }
        // Waypoints whose names match share one section; the later values win.
        const std::string& section = w->Name();
        ini.WriteString(section, "Name", w->Name());
        WriteAngle(ini, section, "Latitude",
                   FileAngle(w->Latitude_Degree(), w->Latitude_Minute(), w->Latitude_Second(), 90));
        ini.WriteString(section, "Latitude_Direction", w->Latitude_Direction() == TCardinalPoint::cpNorth ? "N" : "S");
        WriteAngle(ini, section, "Longitude",
                   FileAngle(w->Longitude_Degree(), w->Longitude_Minute(), w->Longitude_Second(), 180));
        ini.WriteString(section, "Longitude_Direction", w->Longitude_Direction() == TCardinalPoint::cpEast ? "E" : "W");
    }
    ini.Save(path);
}

void TWayPoints::LoadFromFile(const TFileName& FileName) {
    // Read and check everything first: a file that cannot be read, or that
    // holds a bad value in any section, leaves the list as it was.
    const std::optional<IniFile> ini = IniFile::Load(ToPath(FileName));
    if (!ini) {
        Clear();
        return;
    }
    std::vector<std::unique_ptr<TWayPoint>> loaded;
    std::unordered_set<std::string> names;
    for (const std::string& section : ini->SectionNames()) {
        auto w = ReadWayPoint(*ini, section);
        if (names.insert(NameKey(section)).second) {
            loaded.push_back(std::move(w));  // a matching name loaded before keeps its place
        }
    }
    (void)FItems.Replace(std::move(loaded));
}

}  // namespace kovra
