// The satellite file: one section per PRN with its four values.
#include "generator/KovraNMEAGenerator.h"
#include "foundation/Validation.h"
#include "files/IniFile.h"
#include "foundation/Text.h"

namespace kovra {

void TKovraNMEAGenerator::SaveSatellitesToFile(const TFileName& FileName) const {
    const std::filesystem::path path = ToPath(FileName);
    const TSatellites table = SatelliteTable();
    IniFile ini;
    for (int prn = 1; prn <= TSatellites::kCount; ++prn) {
        const std::string section = std::to_string(prn);
        const TSatellite* satellite = table[prn];
        ini.WriteBool(section, "Active", satellite != nullptr && satellite->Active());
        ini.WriteInteger(section, "Elevation", satellite != nullptr ? satellite->Elevation() : 0);
        ini.WriteInteger(section, "Azimuth", satellite != nullptr ? satellite->Azimuth() : 0);
        ini.WriteInteger(section, "SNR", satellite != nullptr ? satellite->SignalToNoiseRatio() : 0);
    }
    ini.Save(path);
}

void TKovraNMEAGenerator::LoadSatellitesFromFile(const TFileName& FileName) {
    const std::optional<IniFile> ini = IniFile::Load(ToPath(FileName));
    if (!ini) {
        return;
    }
    for (const std::string& section : ini->SectionNames()) {
        // The whole section name, never its low 16 bits: [65537] is not PRN 1.
        const std::optional<std::int64_t> prn = ParseInteger(section);
        if (!prn || !validation::IsPseudoRandomCode(*prn)) {
            throw EKovraNMEAException(validation::kPseudoRandomCode);
        }
        SetSatellite(static_cast<std::uint16_t>(*prn), ini->ReadBool(section, "Active", false),
                     ini->ReadInteger(section, "Elevation", 0), ini->ReadInteger(section, "Azimuth", 0),
                     ini->ReadInteger(section, "SNR", 0));
    }
}

}  // namespace kovra
