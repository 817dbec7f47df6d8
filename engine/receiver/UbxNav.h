// The u-blox NAV messages of an epoch, with the fields of the world and the
// sky the NMEA sentences report: NAV-PVT, NAV-SAT, NAV-DOP, NAV-TIMEUTC and
// NAV-STATUS, each framed. Pure functions of the epoch.
#pragma once

#include <string>

#include "engine/receiver/Nmea4.h"

namespace kovra::engine::ubx {

// The epoch's GPS time of week, milliseconds (UBX's iTOW).
std::uint32_t TimeOfWeek(const nmea4::Epoch& e);

// x.. fields, byte offsets and units as u-blox's interface description gives them.
void AppendNavPvt(std::string& out, const nmea4::Epoch& e);
void AppendNavSat(std::string& out, const nmea4::Epoch& e);
void AppendNavDop(std::string& out, const nmea4::Epoch& e);
void AppendNavTimeUtc(std::string& out, const nmea4::Epoch& e);
// `sinceStart`: seconds since the receiver started (msss).
void AppendNavStatus(std::string& out, const nmea4::Epoch& e, double sinceStart);

}  // namespace kovra::engine::ubx
