// A small ini-style store: sections in file order, section names and keys
// matched without regard to ASCII letter case, values kept as text.
//
// Text form, as written: "[name]" opens a section, "key=value" lines follow,
// lines end with LF. On reading, CR LF line ends, a UTF-8 byte-order mark,
// blank lines, ";" comment lines and blanks around keys and values are
// accepted. A section name is everything between the outer brackets, kept
// exactly. A value that begins or ends with a blank, or that begins and ends
// with a double quote, is written inside double quotes, and one pair of
// surrounding quotes is removed on reading, so every such value reads back
// as it was written. Names and values holding CR, LF or NUL cannot be
// written: saving them fails before anything is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/Types.h"
#include "foundation/Export.h"

namespace kovra {

class KOVRA_API IniFile {
public:
    IniFile() = default;

    // Parses ini text; throws EKovraNMEAException naming `source` when the
    // text holds a NUL byte (it is not text).
    static IniFile Parse(std::string_view text, std::string_view source = "ini text");
    // Reads and parses a file; none when no file of that name exists. Throws
    // EKovraNMEAException naming the file when it exists but cannot be read,
    // is not a regular file or is larger than 64 MiB.
    static std::optional<IniFile> Load(const std::filesystem::path& file);

    // Every section name, in file order.
    std::vector<std::string> SectionNames() const;
    bool HasSection(std::string_view section) const;

    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Decimal integers with an optional sign; `fallback` when absent or not one.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;
    // True for an integer other than 0, false for 0; `fallback` otherwise.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
    // A finite number written with ".", "," or the locale's decimal separator.
    Extended ReadFloat(std::string_view section, std::string_view key, Extended fallback) const;

    // A new section goes to the end of the file, a new key to the end of its
    // section; an existing key keeps its place.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int64_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // General number text with the locale's decimal separator.
    void WriteFloat(std::string_view section, std::string_view key, Extended value);

    // The text of the store. Throws EKovraNMEAException when a name or a
    // value cannot be written as text.
    std::string Text() const;
    // Replaces `file` with the text of the store, all or nothing, as
    // ReplaceDataFile does; only a regular file is ever replaced. A store
    // without sections removes the file.
    void Save(const std::filesystem::path& file) const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* Find(std::string_view section) const;
    Section& FindOrAppend(std::string_view section);
    Section& Append(std::string name);

    std::vector<Section> FSections;
    // Position of the first section of each name, keyed by NameKey, so a
    // lookup does not walk the file.
    std::unordered_map<std::string, std::size_t> FIndex;
};

// Parses a whole decimal integer with an optional sign; none otherwise.
KOVRA_API std::optional<std::int64_t> ParseInteger(std::string_view text);

}  // namespace kovra
