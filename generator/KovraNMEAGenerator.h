// TKovraNMEAGenerator: the simulated GPS receiver. It holds the navigation
// state, owns the satellite table, the waypoint list and the route list, and
// produces the NMEA 0183 text a receiver would send.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/DateTime.h"
#include "foundation/Exception.h"
#include "foundation/Position.h"
#include "foundation/Types.h"
#include "foundation/BuildProfile.h"
#include "satellites/Canvas.h"
#include "foundation/Component.h"
#include "foundation/Export.h"
#include "nmea/Sentences.h"
#include "satellites/Satellite.h"
#include "generator/SenderThread.h"
#include "waypoints/Route.h"
#include "waypoints/WayPoint.h"

namespace kovra {

class SerialDevice;

class KOVRA_API TKovraNMEAGenerator : public TComponent {
public:
    // A generator with the default state: 0° 0′ 0″ N, 0° 0′ 0″ E, every number
    // 0, the system clock, every sentence kind, 32 inactive satellites, no
    // waypoints and no routes.
    TKovraNMEAGenerator();
    ~TKovraNMEAGenerator() override;

    // A generator the caller owns.
    static std::unique_ptr<TKovraNMEAGenerator> Create();
    // A generator that AOwner owns and frees with itself.
    static TKovraNMEAGenerator& Create(TComponent& AOwner);

    // ---- Published properties. A setter that rejects a value shows the
    // message box when MessageAlert is set, then throws EKovraNMEAException;
    // the property keeps its old value.
    //
    // The properties, the satellite table and the sentence builders may be
    // used from several threads at once: each sentence is built from one
    // consistent snapshot. The waypoint and route lists themselves are
    // edited by one thread at a time, while no sentence is being built.
    std::int32_t Latitude_Degree() const { return Locked(FPosition.latDeg); }
    void Latitude_Degree(std::int32_t value) { SetLatDeg(value); }
    std::int32_t Latitude_Minute() const { return Locked(FPosition.latMin); }
    void Latitude_Minute(std::int32_t value) { SetLatMin(value); }
    Extended Latitude_Second() const { return Locked(FPosition.latSec); }
    void Latitude_Second(Extended value) { SetLatSec(value); }
    TCardinalPoint Latitude_Direction() const { return Locked(FPosition.latDir); }
    void Latitude_Direction(TCardinalPoint value) { SetLatDir(value); }
    std::int32_t Longitude_Degree() const { return Locked(FPosition.longDeg); }
    void Longitude_Degree(std::int32_t value) { SetLongDeg(value); }
    std::int32_t Longitude_Minute() const { return Locked(FPosition.longMin); }
    void Longitude_Minute(std::int32_t value) { SetLongMin(value); }
    Extended Longitude_Second() const { return Locked(FPosition.longSec); }
    void Longitude_Second(Extended value) { SetLongSec(value); }
    TCardinalPoint Longitude_Direction() const { return Locked(FPosition.longDir); }
    void Longitude_Direction(TCardinalPoint value) { SetLongDir(value); }
    // Metres; any number.
    Extended Altitude() const { return Locked(FAltitude); }
    void Altitude(Extended value) { SetAltitude(value); }
    // Course over ground, degrees true.
    Extended Heading() const { return Locked(FHeading); }
    void Heading(Extended value) { SetHeading(value); }
    // Speed over ground, knots; any number.
    Extended Speed() const { return Locked(FSpeed); }
    void Speed(Extended value) { SetSpeed(value); }
    Extended PDOP() const { return Locked(FPDOP); }
    void PDOP(Extended value) { SetPDOP(value); }
    Extended HDOP() const { return Locked(FHDOP); }
    void HDOP(Extended value) { SetHDOP(value); }
    Extended VDOP() const { return Locked(FVDOP); }
    void VDOP(Extended value) { SetVDOP(value); }
    // Height of the geoid above the ellipsoid, metres; any number.
    Extended Geo_Height() const { return Locked(FGeo_Height); }
    void Geo_Height(Extended value) { SetGeoHeight(value); }
    Extended Magnetic_Variation() const { return Locked(FMagnetic_Variation); }
    void Magnetic_Variation(Extended value) { SetMagneticVariation(value); }
    TCardinalPoint Magnetic_Variation_Direction() const { return Locked(FMagnetic_Variation_Direction); }
    void Magnetic_Variation_Direction(TCardinalPoint value) { SetMagnetic_Variation_Direction(value); }
    // Course over ground, degrees magnetic.
    Extended Magnetic_Heading() const { return Locked(FMagnetic_Heading); }
    void Magnetic_Heading(Extended value) { SetMagneticHeading(value); }
    // The stored date-time, read even while UseSystemDateTime is set; any
    // finite value.
    TDateTime UTCDateTime() const { return Locked(FUTCDateTime); }
    void UTCDateTime(TDateTime value) { SetUTCDateTime(value); }
    TNMEACommands Commands() const { return Locked(FCommands); }
    void Commands(TNMEACommands value) { Store(FCommands, value); }
    bool UseSystemDateTime() const { return Locked(FUseSystemDateTime); }
    void UseSystemDateTime(bool value) { Store(FUseSystemDateTime, value); }
    bool MessageAlert() const { return Locked(FMessageAlert); }
    void MessageAlert(bool value) { Store(FMessageAlert, value); }
    // GPS fix quality (0: no fix); absent in the oldest generation.
    template <bool Present = kProfile.hasFixQuality>
        requires Present
    std::int32_t FixQuality() const { return Locked(FFixQuality); }
    template <bool Present = kProfile.hasFixQuality>
        requires Present
    void FixQuality(std::int32_t value) { Store(FFixQuality, value); }

    // ---- Public properties.
    double Version() const { return FVersion; }
    TWayPoints& WayPoints() const;
    // Takes ownership of `value` and frees the list held before.
    void WayPoints(std::unique_ptr<TWayPoints> value);
    TRoutes& Routes() const;
    // Takes ownership of `value` and frees the list held before.
    void Routes(std::unique_ptr<TRoutes> value);

    // ---- Sentences, each framed with "*", its checksum and CR LF. The date
    // and time of one call come from a single clock reading.
    // Every kind selected in Commands, in the fixed order ZDA, GGA, GLL, VTG,
    // RMC, GSA, GSV, WPL, RTE, AAM.
    std::string GetNMEA() const;
    std::string GetGPZDA() const;
    std::string GetGPGGA() const;
    std::string GetGPGLL() const;
    std::string GetGPGSA() const;
    std::string GetGPRMC() const;
    std::string GetGPVTG() const;
    // One sentence per four active satellites; empty when none is active.
    std::string GetGPGSV() const;
    // One sentence per name of the active route that names a waypoint.
    std::string GetGPWPL() const;
    std::string GetGPRTE() const;
    // One sentence per route waypoint within 0.1 nautical mile.
    std::string GetGPAAM() const;
    // The state the sentences read, taken at one moment.
    nmea::NavigationSnapshot Snapshot() const;

    // ---- Serial link. A port name beginning with "/" is a device path; COMn
    // stands for /dev/ttyS(n-1); any other name is looked up under /dev/.
    // Opens the existing device exclusively (closing the one held before) and
    // applies the line configuration; false when the device cannot be opened.
    bool Connect(const std::string& SerialPortName, std::int32_t BaudRateValue = 4800);
    // Connects to a device the host has opened itself (a transport of its own
    // or a test double) and takes it over; false when none is given.
    bool Connect(std::unique_ptr<SerialDevice> Device, const std::string& SerialPortName,
                 std::int32_t BaudRateValue = 4800);
    bool IsConnected() const;
    // Aborts a write in progress on another thread, discards both queues and
    // closes the device; safe when none is held.
    void Disconnect();
    // The name given to the successful Connect; empty when not connected.
    std::string GetSerialPort() const;
    // The baud rate last applied successfully; kept after Disconnect.
    std::int32_t GetBaudRate() const;
    // Applies the line configuration at BaudRateValue to the open device;
    // false without a device or when the platform refuses the rate.
    bool SetDCBState(std::int32_t BaudRateValue);

    // ---- Transmission. Only the bytes before the first NUL are sent.
    // Writes on the caller's thread, within 100 ms + 3 ms per byte, and
    // returns the bytes written; 0 when not connected.
    std::uint32_t Send(std::string_view str);
    // Hands the text to the sender thread and returns at once.
    void SendOnNewThread(std::string str);
    // True while text handed to SendOnNewThread has not been written yet.
    bool IsSendPending() const;
    // Why the last write to the port, by Send or by the sender thread, did
    // not take the whole text: none when it did; std::errc::timed_out when
    // the line did not take it in time; std::errc::operation_canceled when
    // Disconnect or Connect aborted it; otherwise the device's error (EIO,
    // ENXIO or ENODEV when the device hung up or went away).
    std::error_code LastTransmissionError() const;
    std::uint32_t Transmit() { return Send(GetNMEA()); }
    void TransmitOnNewThread() { SendOnNewThread(GetNMEA()); }

    // ---- Clock: the system clock as UTC, or UTCDateTime when
    // UseSystemDateTime is false.
    TDateTime GetUTCDateTime() const;

    // ---- Conversions. South latitudes and west longitudes are negative
    // (east ones in the oldest generation). None of them checks ranges.
    static Extended DMSToDecimalDegrees(std::int32_t Degree, std::int32_t Minute, Extended Second,
                                        TCardinalPoint Direction);
    static Extended DMSToRadians(std::int32_t Degree, std::int32_t Minute, Extended Second, TCardinalPoint Direction);
    // Great-circle distance in kilometres on a sphere of radius 6378.14 km.
    static Extended Distance_KM(std::int32_t Latitude_Degree1, std::int32_t Latitude_Minute1,
                                Extended Latitude_Second1, TCardinalPoint Latitude_Direction1,
                                std::int32_t Longitude_Degree1, std::int32_t Longitude_Minute1,
                                Extended Longitude_Second1, TCardinalPoint Longitude_Direction1,
                                std::int32_t Latitude_Degree2, std::int32_t Latitude_Minute2,
                                Extended Latitude_Second2, TCardinalPoint Latitude_Direction2,
                                std::int32_t Longitude_Degree2, std::int32_t Longitude_Minute2,
                                Extended Longitude_Second2, TCardinalPoint Longitude_Direction2);
    static Extended KmToNauticalMiles(Extended pDist);
    static Extended KmhToKnots(Extended pSpeed);
    static Extended KnotsToKmh(Extended pSpeed);
    static Extended KmToMiles(Extended pDist);
    static Extended MilesToKm(Extended pDist);
    static Extended MetersToFeet(Extended pDist);
    static Extended FeetToMeters(Extended pDist);
    // Minutes and seconds are truncated, never rounded.
    static void LatitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute,
                                            Extended& Second, TCardinalPoint& Direction);
    static void LongitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute,
                                             Extended& Second, TCardinalPoint& Direction);
    static void DMSToDM(std::int32_t dmsDegree, std::int32_t dmsMinute, Extended dmsSecond, std::int32_t& Degree,
                        Extended& Minute);
    static void DMToDMS(std::int32_t dmDegree, Extended dmMinute, std::int32_t& Degree, std::int32_t& Minute,
                        Extended& Second);
    Extended GetLatitudeAsDecimalDegrees() const;
    Extended GetLongitudeAsDecimalDegrees() const;
    // Moves the position by arc-seconds, stopping at 0 and at 90 (180) degrees;
    // the hemisphere never changes.
    void AddSecondsToLatitude(Extended seconds);
    void AddSecondsToLongitude(Extended seconds);

    // ---- Satellite table.
    // Checks every argument before it changes anything.
    void SetSatellite(std::uint16_t p_PseudoRandomCode, bool p_Active, std::int32_t p_Elevation,
                      std::int32_t p_Azimuth, std::int32_t p_SignalToNoiseRatio);
    std::uint16_t GetActiveSatellitesCount() const;
    // New lists, ascending PRN, of satellites the generator keeps owning.
    TSatelliteList GetActiveSatellitesList() const;
    TSatelliteList GetSatellitesList() const;
    void ResetSatellites();
    // Writes all 32 satellites to FileName, replacing the file as a whole.
    void SaveSatellitesToFile(const TFileName& FileName) const;
    // Sets the satellites of each section in file order through SetSatellite;
    // stops at the first bad section with its message. A missing file changes nothing.
    void LoadSatellitesFromFile(const TFileName& FileName);
    // Draws the sky plot of radius Radius (1 to 32767) on Canvas: elevation
    // rings, azimuth lines, and a disc labelled with its PRN per active
    // satellite, red up to a signal-to-noise ratio of 10, green above.
    void DrawSatellites(TCanvas& Canvas, std::int32_t Radius, TColor BrushColor, TColor PenColor) const;
    // The sky plot as a standalone SVG document.
    std::string SkyPlotSvg(std::int32_t Radius, TColor BrushColor = 0xFFFFFF, TColor PenColor = 0) const;
    template <bool Present = kProfile.hasGetSatellites>
        requires Present
    TSatellites GetSatellites() const { return SatelliteTable(); }
    template <bool Present = kProfile.hasSatellitesProperty>
        requires Present
    TSatellites Satellites() const { return SatelliteTable(); }

private:
    friend class TSenderThread;

    // Writes the bytes of `text` before its first NUL if a port is named;
    // the caller holds FCriticalSection.
    std::uint32_t WriteLocked(std::string_view text);
    bool SetDCBStateLocked(std::int32_t BaudRateValue);
    void AbortWriteInProgress();
    void ReplaceDeviceLocked(std::unique_ptr<SerialDevice> device);
    bool AttachLocked(std::unique_ptr<SerialDevice> device, const std::string& name, std::int32_t BaudRateValue);

    void SetLatDeg(std::int32_t value);
    void SetLatMin(std::int32_t value);
    void SetLatSec(Extended value);
    void SetLatDir(TCardinalPoint value);
    void SetLongDeg(std::int32_t value);
    void SetLongMin(std::int32_t value);
    void SetLongSec(Extended value);
    void SetLongDir(TCardinalPoint value);
    void SetHeading(Extended value);
    void SetMagneticHeading(Extended value);
    void SetMagneticVariation(Extended value);
    void SetMagnetic_Variation_Direction(TCardinalPoint value);
    void SetHDOP(Extended value);
    void SetVDOP(Extended value);
    void SetPDOP(Extended value);
    void SetAltitude(Extended value);
    void SetSpeed(Extended value);
    void SetGeoHeight(Extended value);
    void SetUTCDateTime(TDateTime value);

    // The error-report rule: message box when MessageAlert is set, then the exception.
    [[noreturn]] void Reject(std::string_view message) const;
    template <typename T>
    void Assign(T& field, T value, bool valid, std::string_view message) {
        if (!valid) {
            Reject(message);
        }
        Store(field, value);
    }
    // A position field through its own check, under the error-report rule.
    template <typename T>
    void SetPositionField(Refusal (GeoPosition::*set)(T), T value) {
        Refusal refused;
        {
            const std::lock_guard lock(FStateLock);
            refused = (FPosition.*set)(value);
        }
        if (refused) {
            Reject(*refused);
        }
    }
    template <typename T>
    void Store(T& field, T value) {
        const std::lock_guard lock(FStateLock);
        field = value;
    }
    template <typename T>
    T Locked(const T& field) const {
        const std::lock_guard lock(FStateLock);
        return field;
    }
    TSatellites SatelliteTable() const;
    // What the sentences read, with the satellites and the route only where
    // asked for; the caller holds FStateLock.
    enum class With : std::uint8_t { State = 0, Satellites = 1, Route = 2, Everything = 3 };
    nmea::NavigationSnapshot SnapshotLocked(With parts) const;
    TDateTime UTCDateTimeLocked() const;
    template <typename Build>
    std::string BuildText(std::size_t reserve, Build build) const;

    GeoPosition FPosition;  // 0° 0′ 0″ N, 0° 0′ 0″ E
    Extended FSpeed = 0;
    Extended FHeading = 0;
    Extended FAltitude = 0;
    Extended FMagnetic_Variation = 0;
    Extended FMagnetic_Heading = 0;
    TCardinalPoint FMagnetic_Variation_Direction = TCardinalPoint::cpWest;
    Extended FPDOP = 0;
    Extended FHDOP = 0;
    Extended FVDOP = 0;
    Extended FGeo_Height = 0;
    TDateTime FUTCDateTime = 0;
    std::int32_t FFixQuality = 0;
    TNMEACommands FCommands = TNMEACommands::All();
    std::array<std::unique_ptr<TSatellite>, TSatellites::kCount> FSatellites;
    std::unique_ptr<TWayPoints> FWayPoints;
    std::unique_ptr<TRoutes> FRoutes;
    bool FUseSystemDateTime = true;
    bool FMessageAlert = false;
    double FVersion = kProfile.version;
    std::string FCommPort;
    std::int32_t FBaudRate = 0;
    std::unique_ptr<SerialDevice> FDevice;  // the open port, none when not connected
    // Held around every write and every change of the port.
    mutable std::mutex FCriticalSection;
    // Held around every change of FDevice too, so a write in progress can be
    // aborted without waiting for FCriticalSection.
    mutable std::mutex FAbortLock;
    std::atomic<int> FLastTransmissionError{0};
    // Guards the navigation state, the satellite table and the two list
    // references; never held while writing or calling the host.
    mutable std::mutex FStateLock;
    // The polling writer (two newer generations) or the one-shot writers not
    // yet joined (oldest generation), the latter guarded by FSendersLock.
    std::unique_ptr<TSenderThread> FSenderThread;
    mutable std::mutex FSendersLock;
    std::vector<std::unique_ptr<TSenderThread>> FOneShotSenders;
};

}  // namespace kovra
