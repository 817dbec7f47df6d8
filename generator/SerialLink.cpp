// The generator's serial link and transmission: Connect, Disconnect, the line
// configuration, Send and the hand-over to the sender thread.
//
// Every change of the device and every write holds FCriticalSection, so no
// write ever uses a device that is being closed or replaced. A change of the
// device also holds FAbortLock, which is all that Disconnect and Connect need
// to abort a write in progress on another thread before they wait for it.
#include <algorithm>
#include <chrono>

#include "generator/KovraNMEAGenerator.h"
#include "serial/SerialDevice.h"

namespace kovra {

namespace {
constexpr std::chrono::milliseconds kWriteTimeoutConstant{100};
constexpr std::chrono::milliseconds kWriteTimeoutPerByte{3};
}  // namespace

void TKovraNMEAGenerator::AbortWriteInProgress() {
    const std::lock_guard abort(FAbortLock);
    if (FDevice) {
        FDevice->AbortWrite();
    }
}

void TKovraNMEAGenerator::ReplaceDeviceLocked(std::unique_ptr<SerialDevice> device) {
    const std::lock_guard abort(FAbortLock);
    if (FDevice) {
        // A close that reports an error has still released the device; that
        // is no reason to call the connection that follows failed.
        (void)FDevice->Close();
    }
    FDevice = std::move(device);
}

bool TKovraNMEAGenerator::Connect(const std::string& SerialPortName, std::int32_t BaudRateValue) {
    AbortWriteInProgress();
    const std::lock_guard lock(FCriticalSection);
    ReplaceDeviceLocked(nullptr);  // no purge first; closed before the open, so the same port can be reopened
    return AttachLocked(OpenSerialDevice(SerialPortName), SerialPortName, BaudRateValue);
}

bool TKovraNMEAGenerator::Connect(std::unique_ptr<SerialDevice> Device, const std::string& SerialPortName,
                                  std::int32_t BaudRateValue) {
    AbortWriteInProgress();
    const std::lock_guard lock(FCriticalSection);
    ReplaceDeviceLocked(nullptr);
    return AttachLocked(std::move(Device), SerialPortName, BaudRateValue);
}

bool TKovraNMEAGenerator::AttachLocked(std::unique_ptr<SerialDevice> device, const std::string& name,
                                       std::int32_t BaudRateValue) {
    if (!device) {
        FCommPort.clear();
        return false;
    }
    ReplaceDeviceLocked(std::move(device));
    FCommPort = name;
    FLastTransmissionError = 0;
    (void)SetDCBStateLocked(BaudRateValue);  // a refused rate still leaves the port connected
    // Queue sizes have no POSIX counterpart; the driver's own queues are used.
    FDevice->SetWriteTimeout(kWriteTimeoutConstant, kWriteTimeoutPerByte);
    return true;
}

bool TKovraNMEAGenerator::IsConnected() const {
    const std::lock_guard abort(FAbortLock);
    return FDevice != nullptr;
}

void TKovraNMEAGenerator::Disconnect() {
    // Purging aborts pending writes: one in progress on another thread ends
    // at once instead of holding the line until its time-out.
    AbortWriteInProgress();
    const std::lock_guard lock(FCriticalSection);
    if (FDevice) {
        FDevice->Purge();
    }
    ReplaceDeviceLocked(nullptr);
    FCommPort.clear();
}

std::string TKovraNMEAGenerator::GetSerialPort() const {
    const std::lock_guard lock(FCriticalSection);
    return FCommPort;
}

std::int32_t TKovraNMEAGenerator::GetBaudRate() const {
    const std::lock_guard lock(FCriticalSection);
    return FBaudRate;
}

bool TKovraNMEAGenerator::SetDCBState(std::int32_t BaudRateValue) {
    const std::lock_guard lock(FCriticalSection);
    return SetDCBStateLocked(BaudRateValue);
}

bool TKovraNMEAGenerator::SetDCBStateLocked(std::int32_t BaudRateValue) {
    if (!FDevice || !FDevice->Configure(BaudRateValue)) {
        return false;
    }
    FBaudRate = BaudRateValue;
    return true;
}

std::uint32_t TKovraNMEAGenerator::WriteLocked(std::string_view text) {
    if (FCommPort.empty() || !FDevice) {
        return 0;
    }
    const std::string_view bytes = text.substr(0, text.find('\0'));
    if (bytes.empty()) {
        return 0;
    }
    std::error_code error;
    const std::size_t written = FDevice->Write(bytes, error);
    FLastTransmissionError = error.value();
    return static_cast<std::uint32_t>(written);
}

std::error_code TKovraNMEAGenerator::LastTransmissionError() const {
    return {FLastTransmissionError.load(), std::generic_category()};
}

std::uint32_t TKovraNMEAGenerator::Send(std::string_view str) {
    const std::lock_guard lock(FCriticalSection);
    return WriteLocked(str);
}

bool TKovraNMEAGenerator::IsSendPending() const {
    if constexpr (kProfile.longLivedSender) {
        return FSenderThread->Pending();
    } else {
        const std::lock_guard lock(FSendersLock);
        return std::any_of(FOneShotSenders.begin(), FOneShotSenders.end(),
                           [](const auto& sender) { return !sender->Finished(); });
    }
}

void TKovraNMEAGenerator::SendOnNewThread(std::string str) {
    if constexpr (kProfile.longLivedSender) {
        FSenderThread->Buffer(std::move(str));
    } else {
        // Join the one-shot writers that have finished, then start another;
        // neither waits for a write in progress.
        const std::lock_guard lock(FSendersLock);
        std::erase_if(FOneShotSenders, [](const auto& sender) { return sender->Finished(); });
        FOneShotSenders.push_back(std::unique_ptr<TSenderThread>(new TSenderThread(*this, std::move(str), false)));
    }
}

}  // namespace kovra
