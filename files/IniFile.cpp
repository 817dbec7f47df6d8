#include "files/IniFile.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "foundation/Exception.h"
#include "nmea/Format.h"
#include "files/DataFile.h"
#include "foundation/Text.h"
#include "waypoints/NamedList.h"

namespace kovra {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool NeedsQuotes(std::string_view value) {
    return !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                              (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

void RequireWritable(std::string_view text, std::string_view what) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        throw EKovraNMEAException("Cannot write the " + std::string(what) + " \"" + EscapeControlBytes(text) +
                                 "\" to an ini file: it holds a line break or a NUL character.");
    }
}

// A key reads back as itself unless it would start a section or a comment,
// hold the "=" that ends it, or lose blanks to trimming.
void RequireWritableKey(std::string_view key) {
    RequireWritable(key, "key");
    const bool misread = !key.empty() && (key.front() == '[' || key.front() == ';' || IsBlank(key.front()) ||
                                          IsBlank(key.back()) || key.find('=') != std::string_view::npos);
    if (misread) {
        throw EKovraNMEAException("Cannot write the key \"" + EscapeControlBytes(key) +
                                  "\" to an ini file: it would read back as something else.");
    }
}

}  // namespace

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

IniFile IniFile::Parse(std::string_view text, std::string_view source) {
    if (text.find('\0') != std::string_view::npos) {
        throw EKovraNMEAException("\"" + std::string(source) + "\" is not a text file: it holds a NUL byte.");
    }
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    IniFile ini;
    Section* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = Trim(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            current = &ini.Append(std::string(line.substr(1, line.size() - 2)));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;  // neither a section nor a key of one
        }
        current->entries.push_back(
            {std::string(Trim(line.substr(0, equals))), std::string(Unquote(Trim(line.substr(equals + 1))))});
    }
    return ini;
}

std::optional<IniFile> IniFile::Load(const std::filesystem::path& file) {
    const std::optional<std::string> text = ReadDataFile(file);
    if (!text) {
        return std::nullopt;
    }
    return Parse(*text, file.string());
}

const IniFile::Section* IniFile::Find(std::string_view section) const {
    const auto found = FIndex.find(NameKey(section));
    return found == FIndex.end() ? nullptr : &FSections[found->second];
}

IniFile::Section& IniFile::Append(std::string name) {
    FIndex.emplace(NameKey(name), FSections.size());  // a later section of a matching name is never found
    return FSections.emplace_back(Section{std::move(name), {}});
}

IniFile::Section& IniFile::FindOrAppend(std::string_view section) {
    const auto found = FIndex.find(NameKey(section));
    return found == FIndex.end() ? Append(std::string(section)) : FSections[found->second];
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    names.reserve(FSections.size());
    for (const Section& s : FSections) {
        names.push_back(s.name);
    }
    return names;
}

bool IniFile::HasSection(std::string_view section) const { return Find(section) != nullptr; }

std::optional<std::string> IniFile::ReadString(std::string_view section, std::string_view key) const {
    if (const Section* s = Find(section)) {
        for (const Entry& entry : s->entries) {
            if (SameName(entry.key, key)) {
                return entry.value;
            }
        }
    }
    return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
    return ReadString(section, key).value_or(std::string(fallback));
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const {
    const auto text = ReadString(section, key);
    const auto value = text ? ParseInteger(*text) : std::nullopt;
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max()) {
        return fallback;
    }
    return static_cast<std::int32_t>(*value);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
    const auto text = ReadString(section, key);
    const auto value = text ? ParseInteger(*text) : std::nullopt;
    return value ? *value != 0 : fallback;
}

Extended IniFile::ReadFloat(std::string_view section, std::string_view key, Extended fallback) const {
    const auto text = ReadString(section, key);
    if (!text) {
        return fallback;
    }
    // ".", "," and the locale's separator all read as the decimal point, so
    // a file written under another locale still reads; a text with more than
    // one of them is no number.
    std::string normalized = *text;
    const char separator = nmea::HostDecimalSeparator();
    int separators = 0;
    for (char& c : normalized) {
        if (c == separator || c == '.' || c == ',') {
            c = '.';
            ++separators;
        }
    }
    if (separators > 1) {
        return fallback;
    }
    std::string_view digits = normalized;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
        return fallback;
    }
    return value;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section& s = FindOrAppend(section);
    for (Entry& entry : s.entries) {
        if (SameName(entry.key, key)) {
            entry.value = value;
            return;
        }
    }
    s.entries.push_back({std::string(key), std::string(value)});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, Extended value) {
    WriteString(section, key, nmea::FloatToStr(value, nmea::HostDecimalSeparator()));
}

std::string IniFile::Text() const {
    std::string text;
    for (const Section& s : FSections) {
        RequireWritable(s.name, "section name");
        text += '[';
        text += s.name;
        text += "]\n";
        for (const Entry& entry : s.entries) {
            RequireWritableKey(entry.key);
            RequireWritable(entry.value, "value");
            text += entry.key;
            text += '=';
            if (NeedsQuotes(entry.value)) {
                text += '"';
                text += entry.value;
                text += '"';
            } else {
                text += entry.value;
            }
            text += '\n';
        }
    }
    return text;
}

void IniFile::Save(const std::filesystem::path& file) const {
    const std::string text = Text();  // refuses what cannot be written before touching the disk
    if (text.empty()) {
        RemoveDataFile(file);  // a store without sections is no file at all
    } else {
        ReplaceDataFile(file, text);
    }
}

}  // namespace kovra
