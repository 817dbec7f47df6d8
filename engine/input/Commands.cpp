#include "engine/input/Commands.h"

#include "engine/input/Ubx.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "nmea/Format.h"

namespace kovra::engine::input {

namespace {

std::optional<long> Number(std::string_view text, int base = 10) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Field i as a whole number; none when it is missing or no number.
std::optional<long> Arg(const std::vector<std::string_view>& f, std::size_t i, int base = 10) {
    return i < f.size() ? Number(f[i], base) : std::nullopt;
}

std::string Sentence(const std::string& body) { return nmea::FrameSentence("$" + body); }

bool OneOf(long value, std::initializer_list<long> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// A rate from a fix interval in milliseconds, when the receiver can send at it.
std::optional<double> RateOf(long milliseconds, long shortest, long longest, const Running& present) {
    if (milliseconds < shortest || milliseconds > longest || 1000.0 / static_cast<double>(milliseconds) > present.mostRate + 1e-9) {
        return std::nullopt;
    }
    return 1000.0 / static_cast<double>(milliseconds);
}

// MTK: PMTK commands, each acknowledged by PMTK001 with its number and a
// flag: 0 invalid, 1 unsupported, 2 valid but failed, 3 done.
Answer Mtk(const std::vector<std::string_view>& f, const Firmware& firmware, const Running& present) {
    Answer a;
    const std::optional<long> number = f[0].size() > 4 ? Number(f[0].substr(4)) : std::nullopt;
    if (f[0].substr(0, 4) != "PMTK" || !number) {
        return a;
    }
    a.handled = true;
    int flag = 3;
    switch (*number) {
        case 220:    // fix interval
        case 300: {  // fix control: its interval first
            const std::optional<long> ms = Arg(f, 1);
            a.change.rate = ms ? RateOf(*ms, 100, 10'000, present) : std::nullopt;
            flag = a.change.rate ? 3 : 2;
            break;
        }
        case 251: {
            const std::optional<long> baud = Arg(f, 1);
            if (baud && OneOf(*baud, {4800, 9600, 14400, 19200, 38400, 57600, 115200})) {
                a.change.baud = static_cast<int>(*baud);
            } else {
                flag = 2;
            }
            break;
        }
        case 314: {
            // GLL RMC VTG GGA GSA GSV GRS GST, eight reserved, ZDA, MCHN: each every 0 to 5 fixes.
            static constexpr std::array<std::string_view, 19> kOrder = {
                "GLL", "RMC", "VTG", "GGA", "GSA", "GSV", "GRS", "GST", "", "", "", "", "", "", "", "", "", "ZDA", ""};
            if (f.size() == 2 && f[1] == "-1") {
                a.change.defaults = true;
                break;
            }
            if (f.size() < kOrder.size() + 1 || f.size() > kOrder.size() + 3) {
                flag = 2;
                break;
            }
            for (std::size_t i = 0; i < kOrder.size() && flag == 3; ++i) {
                const std::optional<long> every = Arg(f, i + 1);
                if (!every || *every < 0 || *every > 5) {
                    flag = 2;
                } else if (!kOrder[i].empty()) {
                    a.change.kinds.push_back({std::string(kOrder[i]), static_cast<int>(*every)});
                }
            }
            if (flag != 3) {
                a.change.kinds.clear();
            }
            break;
        }
        case 313:
        case 301: {
            const std::optional<long> value = Arg(f, 1);
            const bool valid = value && *value >= 0 && *value <= (*number == 301 ? 2 : 1);
            if (valid) {
                a.change.settings.push_back("PMTK" + std::to_string(*number) + "=" + std::to_string(*value));
            }
            flag = valid ? 3 : 2;
            break;
        }
        case 605:  // the release, answered by PMTK705 alone
            a.reply = Sentence("PMTK705," + std::string(firmware.software));
            return a;
        case 101:  // hot, warm, cold and full cold starts, answered by the start-up message
        case 102:
        case 103:
        case 104:
            a.change.restart = *number == 101 ? 0 : *number == 102 ? 1 : 2;
            a.change.defaults = *number == 104;
            a.reply = Sentence("PMTK010,001");
            return a;
        default: flag = 1; break;
    }
    a.reply = Sentence("PMTK001," + std::to_string(*number) + "," + std::to_string(flag));
    return a;
}

// SiRF: PSRF100 (the port), PSRF103 (a sentence's rate, or a query) and
// PSRF151 (WAAS); none is acknowledged.
Answer Sirf(const std::vector<std::string_view>& f, const Running& present) {
    Answer a;
    if (f[0] == "PSRF100") {
        const std::optional<long> protocol = Arg(f, 1), baud = Arg(f, 2);
        if (protocol == 1 && baud && OneOf(*baud, {4800, 9600, 19200, 38400, 57600, 115200}) && Arg(f, 3) == 8 &&
            Arg(f, 4) == 1 && Arg(f, 5) == 0) {
            a.handled = true;
            a.change.baud = static_cast<int>(*baud);
        }
    } else if (f[0] == "PSRF103") {
        static constexpr std::array<std::string_view, 9> kMessages = {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG", "", "", "ZDA"};
        const std::optional<long> message = Arg(f, 1), mode = Arg(f, 2), seconds = Arg(f, 3);
        if (message && *message >= 0 && *message < static_cast<long>(kMessages.size()) &&
            !kMessages[static_cast<std::size_t>(*message)].empty() && seconds && *seconds >= 0 && *seconds <= 255) {
            const std::string kind(kMessages[static_cast<std::size_t>(*message)]);
            if (mode == 0) {
                a.handled = true;
                a.change.kinds.push_back({kind, static_cast<int>(std::lround(static_cast<double>(*seconds) * present.rate))});
            } else if (mode == 1) {
                a.handled = true;
                a.change.once.push_back(kind);
            }
        }
    } else if (f[0] == "PSRF151") {
        const std::optional<long> on = Arg(f, 1);
        if (on == 0 || on == 1) {
            a.handled = true;
            a.change.settings.push_back("PSRF151=" + std::to_string(*on));
        }
    }
    return a;
}

// CASIC (the L76K): PCAS01 baud, PCAS02 fix interval, PCAS03 each
// sentence's rate, PCAS10 restart, PCAS00 save; none is acknowledged.
Answer Casic(const std::vector<std::string_view>& f, const Running& present) {
    Answer a;
    if (f[0] == "PCAS00") {
        a.handled = true;
    } else if (f[0] == "PCAS01") {
        static constexpr std::array<int, 6> kBauds = {4800, 9600, 19200, 38400, 57600, 115200};
        if (const std::optional<long> i = Arg(f, 1); i && *i >= 0 && *i < static_cast<long>(kBauds.size())) {
            a.handled = true;
            a.change.baud = kBauds[static_cast<std::size_t>(*i)];
        }
    } else if (f[0] == "PCAS02") {
        if (const std::optional<long> ms = Arg(f, 1); ms && OneOf(*ms, {1000, 500, 250, 200, 100})) {
            a.change.rate = RateOf(*ms, 100, 1000, present);
            a.handled = a.change.rate.has_value();
        }
    } else if (f[0] == "PCAS03") {
        // GGA GLL GSA GSV RMC VTG ZDA, then the antenna's and others: each
        // every 0 to 9 fixes, an empty field keeping the kind as it is.
        static constexpr std::array<std::string_view, 7> kOrder = {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG", "ZDA"};
        if (f.size() < kOrder.size() + 1) {
            return a;
        }
        for (std::size_t i = 0; i + 1 < f.size(); ++i) {
            const std::optional<long> every = Arg(f, i + 1);
            if (f[i + 1].empty()) {
                continue;
            }
            if (!every || *every < 0 || *every > 9) {
                a.change.kinds.clear();
                return a;
            }
            if (i < kOrder.size()) {
                a.change.kinds.push_back({std::string(kOrder[i]), static_cast<int>(*every)});
            }
        }
        a.handled = true;
    } else if (f[0] == "PCAS10") {
        if (const std::optional<long> mode = Arg(f, 1); mode && *mode >= 0 && *mode <= 3) {
            a.handled = true;
            a.change.restart = static_cast<int>(std::min(*mode, 2L));
            a.change.defaults = *mode == 3;
        }
    }
    return a;
}

// u-blox's own NMEA: PUBX,40 (a sentence's rate on each port; ours is
// UART1) and PUBX,41 (a port's protocols and baud); neither is answered.
Answer Pubx(const std::vector<std::string_view>& f) {
    Answer a;
    if (f[0] != "PUBX" || f.size() < 2) {
        return a;
    }
    if (f[1] == "40" && f.size() >= 8 && f[2].size() == 3) {
        if (const std::optional<long> every = Arg(f, 4); every && *every >= 0 && *every <= 255) {
            a.handled = true;
            a.change.kinds.push_back({std::string(f[2]), static_cast<int>(*every)});
        }
    } else if (f[1] == "41" && f.size() >= 7) {
        const std::optional<long> port = Arg(f, 2), out = Arg(f, 4, 16), baud = Arg(f, 5);
        if (port == 1 && out && baud && *baud >= 4800 && *baud <= 921'600) {
            a.handled = true;
            a.change.baud = static_cast<int>(*baud);
            a.change.ubxOut = (*out & 1) != 0;
            a.change.nmeaOut = (*out & 2) != 0;
        }
    }
    return a;
}

}  // namespace


Answer AnswerTo(CommandSet commands, const Frame& frame, const Firmware& firmware, const Running& present) {
    if (frame.kind == Frame::Kind::Ubx) {
        return commands == CommandSet::Ublox ? UbxAnswer(frame, firmware, present) : Answer{};
    }
    const std::vector<std::string_view> fields = FieldsOf(frame.body);
    switch (commands) {
        case CommandSet::Mtk: return Mtk(fields, firmware, present);
        case CommandSet::Sirf: return Sirf(fields, present);
        case CommandSet::Casic: return Casic(fields, present);
        case CommandSet::Ublox: return Pubx(fields);
        case CommandSet::None: break;
    }
    return {};
}

}  // namespace kovra::engine::input
