// The generator's serial link and transmission: Connect, Disconnect, the line
// configuration, Send and the hand-over to the sender thread. Every change of
// the device and every write holds FCriticalSection, so no write ever uses a
// device that is being closed or replaced.
#include <algorithm>
#include <chrono>

#include "core/KovraNMEAGenerator.h"
#include "serial/SerialDevice.h"

namespace kovra {

namespace {
constexpr std::chrono::milliseconds kWriteTimeoutConstant{100};
constexpr std::chrono::milliseconds kWriteTimeoutPerByte{3};
}  // namespace

void TKovraNMEAGenerator::CloseDeviceLocked() {
    if (FDevice) {
        (void)FDevice->Close();
        FDevice.reset();
    }
}

bool TKovraNMEAGenerator::Connect(const std::string& SerialPortName, std::int32_t BaudRateValue) {
    const std::lock_guard lock(FCriticalSection);
    bool result = true;
    if (FDevice) {
        result = FDevice->Close();  // no purge first
        FDevice.reset();
    }
    FCommPort = SerialPortName;
    FDevice = OpenSerialDevice(SerialPortName);
    if (!FDevice) {
        FCommPort.clear();
        return false;
    }
    (void)SetDCBStateLocked(BaudRateValue);  // a refused rate still leaves the port connected
    // Queue sizes have no POSIX counterpart; the driver's own queues are used.
    FDevice->SetWriteTimeout(kWriteTimeoutConstant, kWriteTimeoutPerByte);
    return result;
}

bool TKovraNMEAGenerator::IsConnected() const {
    const std::lock_guard lock(FCriticalSection);
    return FDevice != nullptr;
}

void TKovraNMEAGenerator::Disconnect() {
    const std::lock_guard lock(FCriticalSection);
    if (FDevice) {
        FDevice->Purge();
    }
    CloseDeviceLocked();
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
    return static_cast<std::uint32_t>(FDevice->Write(bytes));
}

std::uint32_t TKovraNMEAGenerator::Send(std::string_view str) {
    const std::lock_guard lock(FCriticalSection);
    return WriteLocked(str);
}

bool TKovraNMEAGenerator::IsSendPending() const {
    if constexpr (kProfile.longLivedSender) {
        return !FSenderThread->Buffer().empty();
    } else {
        return std::any_of(FOneShotSenders.begin(), FOneShotSenders.end(),
                           [](const auto& sender) { return !sender->Finished(); });
    }
}

void TKovraNMEAGenerator::SendOnNewThread(std::string str) {
    if constexpr (kProfile.longLivedSender) {
        FSenderThread->Buffer(std::move(str));
    } else {
        // Join the one-shot writers that have finished, then start another.
        std::erase_if(FOneShotSenders, [](const auto& sender) { return sender->Finished(); });
        FOneShotSenders.push_back(std::unique_ptr<TSenderThread>(new TSenderThread(*this, std::move(str), false)));
    }
}

}  // namespace kovra
