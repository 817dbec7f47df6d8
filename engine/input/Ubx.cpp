#include "engine/input/Ubx.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "engine/receiver/UbxNav.h"

namespace kovra::engine::input {

namespace {

constexpr std::uint8_t kNav = 0x01, kAck = 0x05, kCfg = 0x06, kMon = 0x0A;
constexpr std::uint8_t kPort = 1;  // UART1: the line the consumer is on

// The configuration keys of rate, port and protocols (F9 generation).
constexpr std::uint32_t kRateMeas = 0x30210001, kRateNav = 0x30210002, kUart1Baud = 0x40520001,
                        kUart1OutUbx = 0x10740001, kUart1OutNmea = 0x10740002;

// A key's value size from its size bits: one bit (stored in a byte), 1, 2, 4 or 8 bytes.
std::size_t ValueSize(std::uint32_t key) {
    switch ((key >> 28) & 7) {
        case 1:
        case 2: return 1;
        case 3: return 2;
        case 4: return 4;
        case 5: return 8;
        default: return 0;
    }
}

std::string Ack(std::uint8_t messageClass, std::uint8_t id, bool accepted) {
    const char payload[] = {static_cast<char>(messageClass), static_cast<char>(id)};
    return UbxFrame(kAck, accepted ? 0x01 : 0x00, std::string_view(payload, 2));
}

int EveryOf(const Running& present, std::string_view kind) {
    const auto found = std::find_if(present.kinds.begin(), present.kinds.end(),
                                    [&](const KindRate& k) { return k.kind == kind; });
    return found == present.kinds.end() ? 0 : found->every;
}

std::uint16_t MeasRate(const Running& present) {
    return static_cast<std::uint16_t>(std::lround(1000 / present.rate));
}

bool Keyed(const Firmware& firmware) {
    for (const std::string_view extension : firmware.extensions) {
        if (extension.rfind("PROTVER=", 0) == 0) {
            return std::atof(std::string(extension.substr(8)).c_str()) >= 27;
        }
    }
    return false;
}

std::string Padded(std::string_view text, std::size_t size) {
    std::string field(text.substr(0, size - 1));
    field.resize(size, '\0');
    return field;
}

// A rate from CFG-RATE's measurement period and navigation ratio, when the receiver can send at it.
std::optional<double> RateOf(std::uint32_t measMs, std::uint32_t navRatio, const Running& present) {
    if (measMs == 0 || navRatio == 0 || navRatio > 127) {
        return std::nullopt;
    }
    const double rate = 1000.0 / (static_cast<double>(measMs) * navRatio);
    return rate <= present.mostRate + 1e-9 ? std::optional(rate) : std::nullopt;
}

struct Command {
    std::uint8_t messageClass, id;
    std::string_view payload;
};

void Refuse(Answer& a, const Command& c) { a.reply += Ack(c.messageClass, c.id, false); }
void Accept(Answer& a, const Command& c) { a.reply += Ack(c.messageClass, c.id, true); }

void CfgRate(Answer& a, const Command& c, const Running& present) {
    if (c.payload.empty()) {
        std::string rate;
        PutLe(rate, MeasRate(present), 2);
        PutLe(rate, 1, 2);  // a solution every measurement
        PutLe(rate, 1, 2);  // aligned to GPS time
        a.reply = UbxFrame(kCfg, c.id, rate);
        return Accept(a, c);
    }
    const std::optional<double> rate =
        c.payload.size() == 6 ? RateOf(ReadLe(c.payload, 0, 2), ReadLe(c.payload, 2, 2), present) : std::nullopt;
    if (!rate) {
        return Refuse(a, c);
    }
    a.change.rate = rate;
    Accept(a, c);
}

void CfgMsg(Answer& a, const Command& c, const Running& present) {
    const ubx::UbxMessage* message = c.payload.size() >= 2 ? ubx::FindUbxMessage(static_cast<std::uint8_t>(c.payload[0]),
                                                                        static_cast<std::uint8_t>(c.payload[1]))
                                                      : nullptr;
    if (message == nullptr || (c.payload.size() != 2 && c.payload.size() != 3 && c.payload.size() != 8)) {
        return Refuse(a, c);
    }
    if (c.payload.size() == 2) {  // a poll: the rate on each of six ports, ours the second
        std::string rates(c.payload.substr(0, 2));
        rates += std::string(6, '\0');
        rates[2 + kPort] = static_cast<char>(std::clamp(EveryOf(present, message->kind), 0, 255));
        a.reply = UbxFrame(kCfg, c.id, rates);
        return Accept(a, c);
    }
    const auto every = static_cast<std::uint8_t>(c.payload[c.payload.size() == 3 ? 2 : 2 + kPort]);
    a.change.kinds.push_back({std::string(message->kind), every});
    Accept(a, c);
}

std::string PortSettings(const Running& present) {
    std::string port;
    PutLe(port, kPort, 1);
    PutLe(port, 0, 1);
    PutLe(port, 0, 2);        // no TX-ready pin
    PutLe(port, 0x08D0, 4);   // 8 bits, no parity, 1 stop bit
    PutLe(port, static_cast<std::uint32_t>(present.baud), 4);
    PutLe(port, 0x0007, 2);   // UBX, NMEA and RTCM in
    PutLe(port, (present.ubxOut ? 1U : 0U) | (present.nmeaOut ? 2U : 0U), 2);
    PutLe(port, 0, 2);
    PutLe(port, 0, 2);
    return port;
}

void CfgPrt(Answer& a, const Command& c, const Running& present) {
    if (c.payload.size() <= 1) {
        if (!c.payload.empty() && static_cast<std::uint8_t>(c.payload[0]) != kPort) {
            return Refuse(a, c);
        }
        a.reply = UbxFrame(kCfg, c.id, PortSettings(present));
        return Accept(a, c);
    }
    const std::uint32_t baud = c.payload.size() == 20 ? ReadLe(c.payload, 8, 4) : 0;
    if (c.payload.size() != 20 || static_cast<std::uint8_t>(c.payload[0]) != kPort || baud < 4800 || baud > 921'600) {
        return Refuse(a, c);
    }
    const std::uint32_t out = ReadLe(c.payload, 14, 2);
    a.change.baud = static_cast<int>(baud);
    a.change.ubxOut = (out & 1) != 0;
    a.change.nmeaOut = (out & 2) != 0;
    Accept(a, c);
}

// CFG-NMEA: the NMEA version and the satellites a system, as the model's settings.
void CfgNmea(Answer& a, const Command& c, const Running& present) {
    static constexpr std::pair<std::uint8_t, std::string_view> kVersions[] = {
        {0x23, "2.3"}, {0x40, "4.0"}, {0x41, "4.10"}, {0x4B, "4.11"}};
    if (c.payload.empty()) {
        const auto version = std::find_if(std::begin(kVersions), std::end(kVersions),
                                          [&](const auto& v) { return v.second == present.nmeaVersion; });
        std::string nmea(20, '\0');
        nmea[1] = static_cast<char>(version == std::end(kVersions) ? 0x41 : version->first);
        nmea[11] = 1;  // the message's version
        a.reply = UbxFrame(kCfg, c.id, nmea);
        return Accept(a, c);
    }
    if (c.payload.size() != 4 && c.payload.size() != 12 && c.payload.size() != 20) {
        return Refuse(a, c);
    }
    const auto version = std::find_if(std::begin(kVersions), std::end(kVersions), [&](const auto& v) {
        return v.first == static_cast<std::uint8_t>(c.payload[1]);
    });
    const auto satellites = static_cast<std::uint8_t>(c.payload[2]);
    if (version == std::end(kVersions) || (satellites != 0 && satellites != 8 && satellites != 12 && satellites != 16)) {
        return Refuse(a, c);
    }
    a.change.settings = {"nmeaVersion=" + std::string(version->second), "numSV=" + std::to_string(satellites)};
    Accept(a, c);
}

void CfgRst(Answer& a, const Command& c) {
    if (c.payload.size() != 4) {
        return;  // not answered, as no reset is
    }
    const std::uint32_t mask = ReadLe(c.payload, 0, 2);
    a.change.restart = mask == 0 ? 0 : mask == 1 ? 1 : 2;
}

// CFG-VALSET: every key known and its value in range, or nothing is set.
void ValSet(Answer& a, const Command& c, const Running& present) {
    Answer set;
    std::optional<std::uint32_t> meas, ratio;
    std::size_t at = 4;
    bool valid = c.payload.size() > 4;
    while (valid && at < c.payload.size()) {
        const std::uint32_t key = at + 4 <= c.payload.size() ? ReadLe(c.payload, at, 4) : 0;
        const std::size_t size = ValueSize(key);
        if (size == 0 || at + 4 + size > c.payload.size()) {
            valid = false;
            break;
        }
        const std::uint32_t value = ReadLe(c.payload, at + 4, std::min<std::size_t>(size, 4));
        at += 4 + size;
        if (const ubx::UbxMessage* message = ubx::FindUbxMessageByKey(key)) {
            set.change.kinds.push_back({std::string(message->kind), static_cast<int>(value)});
        } else if (key == kRateMeas) {
            meas = value;
        } else if (key == kRateNav) {
            ratio = value;
        } else if (key == kUart1Baud && value >= 4800 && value <= 921'600) {
            set.change.baud = static_cast<int>(value);
        } else if (key == kUart1OutUbx || key == kUart1OutNmea) {
            (key == kUart1OutUbx ? set.change.ubxOut : set.change.nmeaOut) = value != 0;
        } else {
            valid = false;  // a key this receiver does not have, or a value out of range
        }
    }
    if (valid && (meas || ratio)) {
        set.change.rate = RateOf(meas.value_or(MeasRate(present)), ratio.value_or(1), present);
        valid = set.change.rate.has_value();
    }
    if (!valid) {
        return Refuse(a, c);
    }
    set.handled = true;
    a = std::move(set);
    Accept(a, c);
}

// CFG-VALGET: the values of the keys asked, from the layer in use.
void ValGet(Answer& a, const Command& c, const Running& present) {
    if (c.payload.size() < 8 || (c.payload.size() - 4) % 4 != 0) {
        return Refuse(a, c);
    }
    std::string values = std::string("\x01", 1) + std::string(c.payload.substr(1, 3));
    for (std::size_t at = 4; at < c.payload.size(); at += 4) {
        const std::uint32_t key = ReadLe(c.payload, at, 4);
        std::optional<std::uint64_t> value;
        if (const ubx::UbxMessage* m = ubx::FindUbxMessageByKey(key)) {
            value = static_cast<std::uint64_t>(std::clamp(EveryOf(present, m->kind), 0, 255));
        } else if (key == kRateMeas) {
            value = MeasRate(present);
        } else if (key == kRateNav) {
            value = 1;
        } else if (key == kUart1Baud) {
            value = static_cast<std::uint64_t>(present.baud);
        } else if (key == kUart1OutUbx || key == kUart1OutNmea) {
            value = (key == kUart1OutUbx ? present.ubxOut : present.nmeaOut) ? 1 : 0;
        }
        if (!value) {
            return Refuse(a, c);
        }
        PutLe(values, key, 4);
        PutLe(values, *value, ValueSize(key));
    }
    a.reply = UbxFrame(kCfg, c.id, values);
    Accept(a, c);
}

void MonVer(Answer& a, const Firmware& firmware) {
    std::string version = Padded(firmware.software, 30) + Padded(firmware.hardware, 10);
    for (const std::string_view extension : firmware.extensions) {
        version += Padded(extension, 30);
    }
    a.reply = UbxFrame(kMon, 0x04, version);
}

}  // namespace


Answer UbxAnswer(const Frame& frame, const Firmware& firmware, const Running& present) {
    Answer a;
    if (frame.body.size() < 2) {
        return a;
    }
    const Command c{static_cast<std::uint8_t>(frame.body[0]), static_cast<std::uint8_t>(frame.body[1]),
                    std::string_view(frame.body).substr(2)};
    a.handled = true;
    if (c.messageClass == kMon && c.id == 0x04 && c.payload.empty()) {
        MonVer(a, firmware);
    } else if (const ubx::UbxMessage* polled = ubx::FindUbxMessage(c.messageClass, c.id);
               polled != nullptr && c.messageClass == kNav && c.payload.empty()) {
        a.change.once.emplace_back(polled->kind);  // a NAV message polled: it goes with the next epoch
    } else if (c.messageClass != kCfg) {
        a.handled = false;  // not a command this receiver takes
    } else if (c.id == 0x08) {
        CfgRate(a, c, present);
    } else if (c.id == 0x01) {
        CfgMsg(a, c, present);
    } else if (c.id == 0x00) {
        CfgPrt(a, c, present);
    } else if (c.id == 0x17) {
        CfgNmea(a, c, present);
    } else if (c.id == 0x04) {
        CfgRst(a, c);
    } else if (c.id == 0x8A && Keyed(firmware)) {
        ValSet(a, c, present);
    } else if (c.id == 0x8B && Keyed(firmware)) {
        ValGet(a, c, present);
    } else {
        Refuse(a, c);  // a configuration this receiver does not have
    }
    return a;
}

}  // namespace kovra::engine::input
