// The u-blox NAV messages of an epoch, with the fields of the world and the
// sky the NMEA sentences report, each framed; pure functions of the epoch.
// One table names every UBX message a receiver's rate can be set for, the
// NMEA sentences as u-blox numbers them and the NAV messages it builds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/receiver/Nmea4.h"

namespace kovra::engine::ubx {

// What a NAV message is built from besides the epoch.
struct NavContext {
    double sinceStart = 0;  // seconds since the receiver started (NAV-STATUS's msss)
};

struct UbxMessage {
    std::string_view kind;      // "GGA", "NAV-PVT"
    std::uint8_t messageClass;
    std::uint8_t id;
    std::uint32_t uart1Key;     // CFG-MSGOUT-…_UART1
    // The NAV message's builder; none for an NMEA sentence.
    void (*append)(std::string& out, const nmea4::Epoch& e, const NavContext& context) = nullptr;
};

// The NMEA rows first, then the NAV messages in the order an epoch sends
// them: by id, the end of the epoch last.
extern const std::array<UbxMessage, 18> kUbxMessages;
constexpr std::size_t kFirstNavMessage = 9;
constexpr std::size_t kNavMessageCount = kUbxMessages.size() - kFirstNavMessage;

const UbxMessage* FindUbxMessage(std::uint8_t messageClass, std::uint8_t id);
const UbxMessage* FindUbxMessage(std::string_view kind);
const UbxMessage* FindUbxMessageByKey(std::uint32_t uart1Key);

// The epoch's GPS time of week, milliseconds (UBX's iTOW).
std::uint32_t TimeOfWeek(const nmea4::Epoch& e);

// Fields, byte offsets and units as u-blox's interface description gives them.
void AppendNavPvt(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavSat(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavDop(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavTimeUtc(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavStatus(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavTimeGps(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavPosEcef(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavVelEcef(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});
void AppendNavEoe(std::string& out, const nmea4::Epoch& e, const NavContext& context = {});

}  // namespace kovra::engine::ubx
