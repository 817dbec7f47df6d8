// A serial port through the library, written on the run's thread or handed
// to the library's sender thread; what consumers send on it is read here.
#include <algorithm>
#include <chrono>
#include <mutex>

#include "engine/outputs/Outputs.h"
#include "serial/SerialDevice.h"

namespace kovra::engine {

namespace {

using namespace std::chrono_literals;

// The port as the library holds it and as this output reads it: the library
// closes it when it disconnects, from a stop's thread too, while the run
// may be reading; the lock keeps a read off a closed device.
class SharedPort {
public:
    explicit SharedPort(std::unique_ptr<SerialDevice> device) : device_(std::move(device)) {}

    SerialDevice& Device() { return *device_; }
    bool Close() {
        const std::lock_guard lock(lock_);
        open_ = false;
        return device_->Close();
    }
    std::size_t Read(std::span<char> into, std::error_code& error) {
        const std::lock_guard lock(lock_);
        error.clear();
        return open_ ? device_->Read(into, error) : 0;
    }
    int ReadableDescriptor() {
        const std::lock_guard lock(lock_);
        return open_ ? device_->ReadableDescriptor() : -1;
    }

private:
    std::mutex lock_;
    std::unique_ptr<SerialDevice> device_;
    bool open_ = true;
};

// What the library is given: the shared port, closed through it.
class LibraryPort final : public SerialDevice {
public:
    explicit LibraryPort(std::shared_ptr<SharedPort> port) : port_(std::move(port)) {}
    bool Configure(std::int32_t baudRate) override { return port_->Device().Configure(baudRate); }
    void SetWriteTimeout(std::chrono::milliseconds constant, std::chrono::milliseconds perByte) override {
        port_->Device().SetWriteTimeout(constant, perByte);
    }
    std::size_t Write(std::string_view bytes, std::error_code& error) override {
        return port_->Device().Write(bytes, error);
    }
    void AbortWrite() override { port_->Device().AbortWrite(); }
    void Purge() override { port_->Device().Purge(); }
    bool Close() override { return port_->Close(); }

private:
    std::shared_ptr<SharedPort> port_;
};

class SerialOutput final : public Output {
public:
    SerialOutput(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded, Stop& stop,
                 Notify notify)
        : gps_(gps), port_(port), threaded_(threaded), baud_(baud), stop_(stop), notify_(std::move(notify)) {
        std::unique_ptr<SerialDevice> device = OpenSerialDevice(port);
        if (device) {
            shared_ = std::make_shared<SharedPort>(std::move(device));
        }
        if (!shared_ || !gps_.Connect(std::make_unique<LibraryPort>(shared_), port, baud)) {
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
        if (newBaud_) {
            Wake();  // an update due before the acknowledgement has drained
        }
        lastSize_ = update.size();
        lastWrite_ = std::chrono::steady_clock::now();
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

    void Watch(std::vector<pollfd>& waits) override {
        if (const int fd = shared_->ReadableDescriptor(); fd >= 0 && !hungUp_) {
            waits.push_back({fd, POLLIN, 0});
        }
    }

    void Serve(std::span<const pollfd> ready) override {
        if (ready.empty()) {
            return;
        }
        if ((ready.front().revents & POLLIN) == 0) {
            // A line that hung up reports so at every wait; the next write tells.
            hungUp_ = (ready.front().revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            return;
        }
        char buffer[4096];
        Reply reply;
        for (std::size_t taken = 0; taken < kMostReadPerTurn;) {
            std::error_code error;
            const std::size_t n = shared_->Read(buffer, error);
            hungUp_ = hungUp_ || error;  // the next write tells
            if (n == 0) {
                break;
            }
            taken += n;
            Reply heard = Heard(0, std::string_view(buffer, n));
            reply.bytes += heard.bytes;
            reply.baud = heard.baud ? heard.baud : reply.baud;
        }
        if (!reply.bytes.empty()) {
            (void)gps_.Send(reply.bytes);
            RequireLine();
        }
        if (reply.baud) {
            AskBaud(*reply.baud, reply.bytes.size());
        }
    }

    // A baud asked for takes effect once the acknowledgement, and the update
    // before it, have gone out at the old baud, as on the device itself.
    std::chrono::steady_clock::time_point WakeAt() const override {
        return newBaud_ ? baudAt_ : std::chrono::steady_clock::time_point::max();
    }

    void Wake() override {
        if (!newBaud_) {
            return;
        }
        const int baud = *newBaud_;
        newBaud_.reset();
        if (!gps_.SetDCBState(baud)) {
            notify_("warning: serial port '" + port_ + "' refuses " + std::to_string(baud) + " baud; it stays at " +
                    std::to_string(baud_));
            return;
        }
        notify_("serial port '" + port_ + "': " + std::to_string(baud) + " baud, as the receiver was told");
        baud_ = baud;
    }

private:
    void AskBaud(int baud, std::size_t replySize) {
        const auto lineTime = [this](std::size_t bytes) {
            return std::chrono::microseconds(10'000'000LL * static_cast<long long>(bytes) / baud_);
        };
        const auto now = std::chrono::steady_clock::now();
        const auto updateOut = lastWrite_ + lineTime(lastSize_);
        baudAt_ = std::max(now, updateOut) + lineTime(replySize);
        newBaud_ = baud;
    }

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
    std::shared_ptr<SharedPort> shared_;
    std::string port_;
    bool threaded_;
    int baud_;
    const Stop& stop_;
    Notify notify_;
    std::optional<Stop::Hook> hook_;
    bool warnedShort_ = false;
    std::size_t lastSize_ = 0;
    std::chrono::steady_clock::time_point lastWrite_;
    bool hungUp_ = false;
    std::optional<int> newBaud_;
    std::chrono::steady_clock::time_point baudAt_;
};

}  // namespace

std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded,
                                       Stop& stop, Notify notify) {
    return std::make_unique<SerialOutput>(gps, port, baud, threaded, stop, std::move(notify));
}

}  // namespace kovra::engine
