#include "generator/KovraNMEAGenerator.h"

#include <stdexcept>

#include "foundation/Validation.h"
#include "serial/SerialDevice.h"
#include "foundation/MessageBox.h"
#include "foundation/Text.h"

namespace kovra {

TKovraNMEAGenerator::TKovraNMEAGenerator() {
    // Field initialisers have set the navigation defaults; now the clock,
    // then the satellites in ascending PRN order, then the two lists.
    FUTCDateTime = SystemUTCNow();
    for (std::uint16_t prn = 1; prn <= TSatellites::kCount; ++prn) {
        FSatellites[prn - 1U] = std::make_unique<TSatellite>(prn);
    }
    FWayPoints = std::make_unique<TWayPoints>();
    FRoutes = std::make_unique<TRoutes>();
    if constexpr (kProfile.longLivedSender) {
        FSenderThread.reset(new TSenderThread(*this, std::string(), true));
    }
}

// The sender threads first, so that none outlives what it uses; then the
// satellites, the waypoints and the routes. A device still held is closed
// by its owner without a purge.
TKovraNMEAGenerator::~TKovraNMEAGenerator() {
    FSenderThread.reset();
    std::vector<std::unique_ptr<TSenderThread>> oneShot;
    {
        const std::lock_guard lock(FSendersLock);
        oneShot.swap(FOneShotSenders);
    }
    // Every one-shot writer first learns to skip its write, then each is
    // joined: only a write already in progress is waited for.
    for (const auto& sender : oneShot) {
        sender->RequestStop();
    }
    oneShot.clear();
    for (auto& satellite : FSatellites) {
        satellite.reset();
    }
    FWayPoints.reset();
    FRoutes.reset();
}

std::unique_ptr<TKovraNMEAGenerator> TKovraNMEAGenerator::Create() { return std::make_unique<TKovraNMEAGenerator>(); }

TKovraNMEAGenerator& TKovraNMEAGenerator::Create(TComponent& AOwner) {
    return AOwner.InsertComponent(std::make_unique<TKovraNMEAGenerator>());
}

void TKovraNMEAGenerator::Reject(std::string_view message) const {
    const TMessageString text = ToMessage(message);
    if (Locked(FMessageAlert)) {
        ShowErrorMessageBox(text);
    }
    throw EKovraNMEAException(text);
}

void TKovraNMEAGenerator::SetLatDeg(std::int32_t value) { SetPositionField(&GeoPosition::SetLatDeg, value); }
void TKovraNMEAGenerator::SetLatMin(std::int32_t value) { SetPositionField(&GeoPosition::SetLatMin, value); }
void TKovraNMEAGenerator::SetLatSec(Extended value) { SetPositionField(&GeoPosition::SetLatSec, value); }
void TKovraNMEAGenerator::SetLatDir(TCardinalPoint value) { SetPositionField(&GeoPosition::SetLatDir, value); }
void TKovraNMEAGenerator::SetLongDeg(std::int32_t value) { SetPositionField(&GeoPosition::SetLongDeg, value); }
void TKovraNMEAGenerator::SetLongMin(std::int32_t value) { SetPositionField(&GeoPosition::SetLongMin, value); }
void TKovraNMEAGenerator::SetLongSec(Extended value) { SetPositionField(&GeoPosition::SetLongSec, value); }
void TKovraNMEAGenerator::SetLongDir(TCardinalPoint value) { SetPositionField(&GeoPosition::SetLongDir, value); }
void TKovraNMEAGenerator::SetHeading(Extended value) {
    Assign(FHeading, value, validation::IsCourse(value), validation::kHeading);
}
void TKovraNMEAGenerator::SetMagneticHeading(Extended value) {
    Assign(FMagnetic_Heading, value, validation::IsCourse(value), validation::kMagneticHeading);
}
void TKovraNMEAGenerator::SetMagneticVariation(Extended value) {
    Assign(FMagnetic_Variation, value, validation::IsBelowHundred(value), validation::kMagneticVariation);
}
void TKovraNMEAGenerator::SetMagnetic_Variation_Direction(TCardinalPoint value) {
    Assign(FMagnetic_Variation_Direction, value, validation::IsEastWest(value),
           validation::kMagneticVariationDirection);
}
void TKovraNMEAGenerator::SetHDOP(Extended value) {
    Assign(FHDOP, value, validation::IsBelowHundred(value), validation::kHDOP);
}
void TKovraNMEAGenerator::SetVDOP(Extended value) {
    Assign(FVDOP, value, validation::IsBelowHundred(value), validation::kVDOP);
}
void TKovraNMEAGenerator::SetPDOP(Extended value) {
    Assign(FPDOP, value, validation::IsBelowHundred(value), validation::kPDOP);
}

void TKovraNMEAGenerator::SetAltitude(Extended value) {
    Assign(FAltitude, value, validation::IsNumber(value), validation::kAltitude);
}
void TKovraNMEAGenerator::SetSpeed(Extended value) {
    Assign(FSpeed, value, validation::IsNumber(value), validation::kSpeed);
}
void TKovraNMEAGenerator::SetGeoHeight(Extended value) {
    Assign(FGeo_Height, value, validation::IsNumber(value), validation::kGeoHeight);
}

void TKovraNMEAGenerator::SetUTCDateTime(TDateTime value) {
    Assign(FUTCDateTime, value, validation::IsNumber(value), validation::kUTCDateTime);
}

TWayPoints& TKovraNMEAGenerator::WayPoints() const {
    const std::lock_guard lock(FStateLock);
    return *FWayPoints;
}

TRoutes& TKovraNMEAGenerator::Routes() const {
    const std::lock_guard lock(FStateLock);
    return *FRoutes;
}

void TKovraNMEAGenerator::WayPoints(std::unique_ptr<TWayPoints> value) {
    if (!value) {
        throw std::invalid_argument("WayPoints: a generator always holds a waypoint list; none was given");
    }
    const std::lock_guard lock(FStateLock);
    std::swap(FWayPoints, value);  // the old list is freed once the lock is released
}

void TKovraNMEAGenerator::Routes(std::unique_ptr<TRoutes> value) {
    if (!value) {
        throw std::invalid_argument("Routes: a generator always holds a route list; none was given");
    }
    const std::lock_guard lock(FStateLock);
    std::swap(FRoutes, value);
}

TDateTime TKovraNMEAGenerator::GetUTCDateTime() const {
    const std::lock_guard lock(FStateLock);
    return UTCDateTimeLocked();
}

TDateTime TKovraNMEAGenerator::UTCDateTimeLocked() const {
    return FUseSystemDateTime ? SystemUTCNow() : FUTCDateTime;
}

}  // namespace kovra
