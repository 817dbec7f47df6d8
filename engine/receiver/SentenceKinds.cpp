#include "engine/receiver/SentenceKinds.h"

#include <algorithm>

#include "engine/receiver/Models.h"
#include "engine/receiver/UbxNav.h"
#include "engine/run/Errors.h"
#include "foundation/Names.h"

namespace kovra::engine {

namespace {

using C = TNMEACommand;

bool In(Profile profile, const SentenceKindInfo& k, std::string_view model) {
    return profile == Profile::Nmea4 ? k.model.empty() || k.model == model : k.classicRank > 0;
}

std::string ProfileName(Profile profile) { return profile == Profile::Nmea4 ? "nmea4" : "classic"; }

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ",") + name;
    }
    return text;
}

}  // namespace

const std::array<SentenceKindInfo, static_cast<std::size_t>(Kind4::Count)> kSentenceKinds = {{
    {Kind4::RMC, "RMC", 5, true, 1, C::GPRMC},
    {Kind4::GGA, "GGA", 2, true, 1, C::GPGGA},
    {Kind4::GLL, "GLL", 3, true, 5, C::GPGLL},
    {Kind4::VTG, "VTG", 4, true, 0, C::GPVTG},
    {Kind4::GNS, "GNS", 0, false, 1, std::nullopt},
    {Kind4::GSA, "GSA", 6, true, 0, C::GPGSA},
    {Kind4::GSV, "GSV", 7, true, 0, C::GPGSV},
    {Kind4::GST, "GST", 0, false, 0, std::nullopt},
    {Kind4::HDT, "HDT", 0, false, 0, std::nullopt},
    {Kind4::ZDA, "ZDA", 1, false, 1, C::GPZDA},
    {Kind4::WPL, "WPL", 8, true, 0, C::GPWPL},
    {Kind4::RTE, "RTE", 9, true, 0, C::GPRTE},
    {Kind4::AAM, "AAM", 10, true, 0, C::GPAAM},
    {Kind4::RMB, "RMB", 0, false, 0, std::nullopt},
    {Kind4::BOD, "BOD", 0, false, 0, std::nullopt},
    {Kind4::APB, "APB", 0, false, 0, std::nullopt},
    {Kind4::XTE, "XTE", 0, false, 0, std::nullopt},
    {Kind4::BWC, "BWC", 0, false, 1, std::nullopt},
    {Kind4::BWR, "BWR", 0, false, 1, std::nullopt},
    {Kind4::HDG, "HDG", 0, false, 0, std::nullopt},
    {Kind4::HDM, "HDM", 0, false, 0, std::nullopt},
    {Kind4::THS, "THS", 0, false, 0, std::nullopt},
    {Kind4::ROT, "ROT", 0, false, 0, std::nullopt},
    {Kind4::DPT, "DPT", 0, false, 0, std::nullopt},
    {Kind4::DBT, "DBT", 0, false, 0, std::nullopt},
    {Kind4::MWV, "MWV", 0, false, 0, std::nullopt},
    {Kind4::MWD, "MWD", 0, false, 0, std::nullopt},
    {Kind4::VHW, "VHW", 0, false, 0, std::nullopt},
    {Kind4::VLW, "VLW", 0, false, 0, std::nullopt},
    {Kind4::MTW, "MTW", 0, false, 0, std::nullopt},
    {Kind4::PGRME, "PGRME", 0, false, 0, std::nullopt, "garmin"},
    {Kind4::PGRMZ, "PGRMZ", 0, false, 0, std::nullopt, "garmin"},
}};

const SentenceKindInfo* FindSentenceKind(std::string_view name) {
    const auto found = std::find_if(kSentenceKinds.begin(), kSentenceKinds.end(),
                                    [name](const SentenceKindInfo& k) { return k.name == name; });
    return found == kSentenceKinds.end() ? nullptr : &*found;
}

std::vector<std::string> KindsOf(Profile profile, std::string_view model) {
    std::vector<const SentenceKindInfo*> rows;
    for (const SentenceKindInfo& k : kSentenceKinds) {
        if (In(profile, k, model)) {
            rows.push_back(&k);
        }
    }
    if (profile == Profile::Classic) {
        std::sort(rows.begin(), rows.end(),
                  [](const SentenceKindInfo* a, const SentenceKindInfo* b) { return a->classicRank < b->classicRank; });
    }
    std::vector<std::string> names;
    for (const SentenceKindInfo* k : rows) {
        names.emplace_back(k->name);
    }
    return names;
}

std::vector<std::string> DefaultKindsOf(Profile profile) {
    if (profile == Profile::Classic) {
        return KindsOf(profile);
    }
    std::vector<std::string> names;
    for (const SentenceKindInfo& k : kSentenceKinds) {
        if (k.byDefault) {
            names.emplace_back(k.name);
        }
    }
    return names;
}

bool IsNavMessage(std::string_view kind) {
    const ubx::UbxMessage* message = ubx::FindUbxMessage(kind);
    return message != nullptr && message->append != nullptr;
}

namespace {

// A UBX NAV message is a kind of the u-blox receivers only.
void RequireUbx(std::string_view given, Profile profile, std::string_view model) {
    const ReceiverModel* receiver = FindReceiverModel(model);
    if (profile == Profile::Nmea4 && receiver != nullptr && receiver->commands == CommandSet::Ublox) {
        return;
    }
    std::string ublox;
    for (const ReceiverModel& m : ReceiverModels()) {
        if (m.commands == CommandSet::Ublox) {
            ublox += (ublox.empty() ? "" : ", ") + std::string(m.name);
        }
    }
    throw SettingError(QuotedValue(given) + " is a UBX message of the u-blox receivers (--receiver " + ublox + ")");
}

void RequireSentenceKind(std::string_view given, const std::string& kind, Profile profile, std::string_view model) {
    const SentenceKindInfo* known = FindSentenceKind(kind);
    const bool ais = kind == "VDM" || kind == "VDO";  // the AIS stations', beside either receiver's
    if (!ais && known != nullptr && profile == Profile::Nmea4 && !In(profile, *known, model)) {
        throw SettingError("sentence kind " + QuotedValue(given) + " is the " + std::string(known->model) +
                           " receiver's own (--receiver " + std::string(known->model) + ")");
    }
    if (!ais && (known == nullptr || !In(profile, *known, model))) {
        throw SettingError("unknown sentence kind " + QuotedValue(given) + " (the " +
                           ProfileName(profile) + " profile sends " + Joined(KindsOf(profile, model)) +
                           " or ALL; AIS: VDM, VDO)");
    }
}

}  // namespace

std::vector<std::string> ParseKindList(std::string_view text, Profile profile, std::string_view model) {
    std::vector<std::string> kinds;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view given = text.substr(start, comma - start);
        std::string kind = NameKey(given);
        if (kind.size() == 5 && (kind.rfind("GP", 0) == 0 || kind.rfind("GN", 0) == 0)) {
            kind = kind.substr(2);
        }
        if (kind == "ALL") {
            return KindsOf(profile, model);
        }
        if (IsNavMessage(kind)) {
            RequireUbx(given, profile, model);
        } else {
            RequireSentenceKind(given, kind, profile, model);
        }
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
            kinds.push_back(kind);
        }
        start = comma + 1;
    }
    return kinds;
}

Kinds4 Kinds4Of(const std::vector<std::string>& names) {
    Kinds4 kinds;
    for (const std::string& name : names) {
        if (const SentenceKindInfo* k = FindSentenceKind(name)) {
            kinds.set(static_cast<std::size_t>(k->kind));
        }
    }
    return kinds;
}

Kinds4 DefaultKinds4() { return Kinds4Of(DefaultKindsOf(Profile::Nmea4)); }

TNMEACommands CommandsOf(const std::vector<std::string>& names) {
    TNMEACommands commands;
    for (const std::string& name : names) {
        if (const SentenceKindInfo* k = FindSentenceKind(name); k != nullptr && k->command) {
            commands.Include(*k->command);
        }
    }
    return commands;
}

}  // namespace kovra::engine
