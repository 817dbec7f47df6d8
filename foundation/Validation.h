// Range checks and fixed messages shared by the generator's position and
// course setters and the waypoint setters. Every floating-point check
// rejects NaN and the infinities.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/Types.h"

namespace kovra::validation {

inline constexpr std::string_view kLatitudeDegree = "Latitude Degree must be between 0 and 90.";
inline constexpr std::string_view kLatitudeMinute = "Latitude Minute must be between 0 and 60.";
inline constexpr std::string_view kLatitudeSecond = "Latitude Second must be between 0 and 60.";
inline constexpr std::string_view kLatitudeDirection = "Latitude Direction must be north or south.";
inline constexpr std::string_view kLongitudeDegree = "Longitude Degree must be between 0 and 180.";
inline constexpr std::string_view kLongitudeMinute = "Longitude Minute must be between 0 and 60.";
inline constexpr std::string_view kLongitudeSecond = "Longitude Second must be between 0 and 60.";
inline constexpr std::string_view kLongitudeDirection = "Longitude Direction must be east or west.";
inline constexpr std::string_view kHeading = "Heading must be between 0 and 360.";
inline constexpr std::string_view kMagneticHeading = "Magnetic Heading must be between 0 and 360.";
inline constexpr std::string_view kMagneticVariation = "Magnetic Variation must be between 0 and 99.9.";
inline constexpr std::string_view kMagneticVariationDirection = "Magnetic Variation Direction must be east or west.";
inline constexpr std::string_view kHDOP = "HDOP must be between 0 and 99.9.";
inline constexpr std::string_view kVDOP = "VDOP must be between 0 and 99.9.";
inline constexpr std::string_view kPDOP = "PDOP must be between 0 and 99.9.";
inline constexpr std::string_view kAltitude = "Altitude must be a number.";
inline constexpr std::string_view kSpeed = "Speed must be a number.";
inline constexpr std::string_view kGeoHeight = "Geo_Height must be a number.";
inline constexpr std::string_view kUTCDateTime = "UTCDateTime must be a number.";
inline constexpr std::string_view kPseudoRandomCode = "PseudoRandomCode must be between 1 and 32.";
inline constexpr std::string_view kElevation = "Elevation must be between 0 and 90.";
inline constexpr std::string_view kAzimuth = "Azimuth must be between 0 and 360.";
inline constexpr std::string_view kSignalToNoiseRatio = "SignalToNoiseRatio must be between 0 and 99.";

constexpr bool IntInRange(std::int64_t value, std::int64_t low, std::int64_t high) {
    return value >= low && value <= high;
}
// At least 0 and below `bound`; NaN fails both comparisons.
constexpr bool BelowBound(Extended value, Extended bound) { return value >= 0 && value < bound; }

// Finite: neither NaN nor an infinity.
constexpr bool IsNumber(Extended v) { return v == v && v - v == 0; }
constexpr bool IsLatitudeDegree(std::int32_t v) { return IntInRange(v, 0, 90); }
constexpr bool IsLongitudeDegree(std::int32_t v) { return IntInRange(v, 0, 180); }
constexpr bool IsMinute(std::int32_t v) { return IntInRange(v, 0, 59); }
constexpr bool IsSecond(Extended v) { return BelowBound(v, 60); }
constexpr bool IsNorthSouth(TCardinalPoint d) { return d == TCardinalPoint::cpNorth || d == TCardinalPoint::cpSouth; }
constexpr bool IsEastWest(TCardinalPoint d) { return d == TCardinalPoint::cpEast || d == TCardinalPoint::cpWest; }
constexpr bool IsCourse(Extended v) { return BelowBound(v, 360); }
constexpr bool IsBelowHundred(Extended v) { return BelowBound(v, 100); }
constexpr bool IsPseudoRandomCode(std::int64_t v) { return IntInRange(v, 1, 32); }
constexpr bool IsElevation(std::int32_t v) { return IntInRange(v, 0, 90); }
constexpr bool IsAzimuth(std::int32_t v) { return IntInRange(v, 0, 359); }
constexpr bool IsSignalToNoiseRatio(std::int32_t v) { return IntInRange(v, 0, 99); }
// The plot's coordinates are 16-bit: radii from 1 to 32767.
constexpr bool IsSkyPlotRadius(std::int32_t v) { return IntInRange(v, 1, 32767); }

}  // namespace kovra::validation
