// A serial port through the library, written on the run's thread or handed
// to the library's sender thread.
#include <algorithm>
#include <chrono>

#include "engine/outputs/Outputs.h"
#include "serial/SerialDevice.h"

namespace kovra::engine {

namespace {

using namespace std::chrono_literals;

class SerialOutput final : public Output {
public:
    SerialOutput(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded, Stop& stop,
                 Notify notify)
        : gps_(gps), port_(port), threaded_(threaded), baud_(baud), stop_(stop), notify_(std::move(notify)) {
        if (!gps_.Connect(port, baud)) {
            throw OutputError("cannot open serial port '" + port + "' (" + SerialDevicePath(port) +
                              "): missing, held by another program, or not a device");
        }
        if (gps_.GetBaudRate() != baud) {
            gps_.Disconnect();
            throw OutputError("serial port '" + port + "' refuses " + std::to_string(baud) + " baud");
        }
        // A stop ends a write on a stalled line at once.
        hook_.emplace(stop.OnStop([&gps] { gps.Disconnect(); }));
    }
    ~SerialOutput() override {
        hook_.reset();
        gps_.Disconnect();  // also releases the port's exclusive mode
    }

    void Write(std::string_view update) override {
        lastSize_ = update.size();
        if (threaded_) {
            gps_.SendOnNewThread(std::string(update));
            RequireLine();  // what the sender thread's last write met
            return;
        }
        const bool whole = gps_.Send(update) == update.size();
        RequireLine();
        if (!whole && !warnedShort_ && !stop_.Requested()) {
            warnedShort_ = true;
            notify_("warning: the serial line did not take a whole update in time");
        }
    }

    void Finish() override {
        // Disconnecting discards what the line has not sent yet: give it the
        // time the last update takes at 10 bits a byte, at most 2 s, unless a
        // stop asks for the end now.
        const auto lineTime = std::chrono::milliseconds(10'000 * lastSize_ / static_cast<std::size_t>(baud_));
        const auto deadline = std::chrono::steady_clock::now() + std::min<std::chrono::milliseconds>(lineTime, 2s);
        while (threaded_ && gps_.IsSendPending() && std::chrono::steady_clock::now() < deadline &&
               stop_.SleepUntil(std::min(deadline, Soon()))) {
        }
        (void)stop_.SleepUntil(deadline);
        RequireLine();
        gps_.Disconnect();
    }

private:
    static std::chrono::steady_clock::time_point Soon() { return std::chrono::steady_clock::now() + 5ms; }

    // A device that hung up or went away ends the run; a time-out does not,
    // nor does the abort of a stop.
    void RequireLine() const {
        const std::error_code error = gps_.LastTransmissionError();
        if (!error || error == std::errc::timed_out || error == std::errc::operation_canceled || stop_.Requested()) {
            return;
        }
        throw OutputError("serial port '" + port_ + "' was lost: " + error.message());
    }

    TKovraNMEAGenerator& gps_;
    std::string port_;
    bool threaded_;
    int baud_;
    const Stop& stop_;
    Notify notify_;
    std::optional<Stop::Hook> hook_;
    bool warnedShort_ = false;
    std::size_t lastSize_ = 0;
};

}  // namespace

std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded,
                                       Stop& stop, Notify notify) {
    return std::make_unique<SerialOutput>(gps, port, baud, threaded, stop, std::move(notify));
}

}  // namespace kovra::engine
