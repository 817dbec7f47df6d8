#include "serial/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <charconv>

#include "serial/CustomBaud.h"
#include "foundation/FileDescriptor.h"

namespace kovra {

namespace {

using Clock = std::chrono::steady_clock;

struct StandardRate {
    std::int32_t rate;
    speed_t constant;
};

constexpr StandardRate kStandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},         {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},       {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},     {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

class PosixSerialDevice final : public SerialDevice {
public:
    PosixSerialDevice(FileDescriptor fd, FileDescriptor abort) : fd_(std::move(fd)), abort_(std::move(abort)) {}

    bool Configure(std::int32_t baudRate) override {
        termios settings{};
        if (baudRate <= 0 || tcgetattr(fd_.Get(), &settings) != 0) {
            return false;
        }
        cfmakeraw(&settings);
        settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | CLOCAL | CREAD;
        settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        const speed_t* standard = StandardConstant(baudRate);
        if (standard != nullptr && (cfsetispeed(&settings, *standard) != 0 || cfsetospeed(&settings, *standard) != 0)) {
            return false;
        }
        if (tcsetattr(fd_.Get(), TCSANOW, &settings) != 0) {
            return false;
        }
        if (standard == nullptr && !SetCustomBaudRate(fd_.Get(), static_cast<unsigned>(baudRate))) {
            return false;
        }
        HoldModemLinesOff();
        return true;
    }

    void SetWriteTimeout(std::chrono::milliseconds constant, std::chrono::milliseconds perByte) override {
        timeoutConstant_ = constant;
        timeoutPerByte_ = perByte;
    }

    std::size_t Write(std::string_view bytes, std::error_code& error) override {
        const Clock::time_point deadline =
            Clock::now() + timeoutConstant_ + timeoutPerByte_ * static_cast<std::int64_t>(bytes.size());
        std::size_t written = 0;
        error.clear();
        while (written < bytes.size() && !error) {
            if (aborted_.load()) {
                error = std::make_error_code(std::errc::operation_canceled);
                break;
            }
            const ssize_t result = ::write(fd_.Get(), bytes.data() + written, bytes.size() - written);
            if (result > 0) {
                written += static_cast<std::size_t>(result);
            } else if (result < 0 && errno == EINTR) {
                continue;
            } else if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                error = std::error_code(errno, std::generic_category());  // EIO when the far end hung up
            } else {
                error = WaitUntilWritable(deadline);
            }
        }
        return written;
    }

    std::size_t Read(std::span<char> into, std::error_code& error) override {
        error.clear();
        for (;;) {
            const ssize_t result = ::read(fd_.Get(), into.data(), into.size());
            if (result == 0 && !into.empty()) {
                // Nothing waiting is EAGAIN here; the end of the stream is a hang-up.
                error = std::error_code(EIO, std::generic_category());
            }
            if (result >= 0) {
                return static_cast<std::size_t>(result);
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                error = std::error_code(errno, std::generic_category());
            }
            return 0;
        }
    }

    int ReadableDescriptor() const override { return fd_.Get(); }

    void AbortWrite() override {
        aborted_.store(true);
        const std::uint64_t one = 1;
        // Only a counter overflow could refuse this; the flag alone still ends
        // the write at its next turn.
        (void)!::write(abort_.Get(), &one, sizeof one);
    }

    void Purge() override { (void)tcflush(fd_.Get(), TCIOFLUSH); }

    bool Close() override {
        if (fd_.Valid()) {
            // Leave the terminal as others may open it again.
            (void)ioctl(fd_.Get(), TIOCNXCL);
        }
        return fd_.Close();
    }

    ~PosixSerialDevice() override { (void)Close(); }

private:
    static const speed_t* StandardConstant(std::int32_t rate) {
        for (const StandardRate& standard : kStandardRates) {
            if (standard.rate == rate) {
                return &standard.constant;
            }
        }
        return nullptr;
    }

    // Devices without modem lines (a pseudo-terminal) refuse this; that is not an error.
    void HoldModemLinesOff() {
        int lines = TIOCM_DTR | TIOCM_RTS;
        (void)ioctl(fd_.Get(), TIOCMBIC, &lines);
    }

    // None once the line takes bytes again; timed_out, operation_canceled or
    // the device's failure otherwise.
    std::error_code WaitUntilWritable(Clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return std::make_error_code(std::errc::timed_out);
            }
            pollfd requests[] = {{fd_.Get(), POLLOUT, 0}, {abort_.Get(), POLLIN, 0}};
            const int ready = ::poll(requests, 2, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) {
                return std::error_code(errno, std::generic_category());
            }
            if (ready <= 0) {
                continue;
            }
            if (requests[1].revents != 0) {
                return std::make_error_code(std::errc::operation_canceled);
            }
            if ((requests[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return std::error_code(EIO, std::generic_category());  // the line hung up
            }
            return {};
        }
    }

    FileDescriptor fd_;
    FileDescriptor abort_;  // an eventfd that wakes a waiting write
    std::atomic<bool> aborted_{false};
    std::chrono::milliseconds timeoutConstant_{100};
    std::chrono::milliseconds timeoutPerByte_{3};
};

}  // namespace

std::size_t SerialDevice::Read(std::span<char> /*into*/, std::error_code& error) {
    error.clear();
    return 0;
}

std::string SerialDevicePath(std::string_view portName) {
    if (!portName.empty() && portName.front() == '/') {
        return std::string(portName);
    }
    if (portName.size() > 3 && (portName.substr(0, 3) == "COM" || portName.substr(0, 3) == "com")) {
        unsigned number = 0;
        const auto digits = portName.substr(3);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error == std::errc() && end == digits.data() + digits.size() && number >= 1) {
            return "/dev/ttyS" + std::to_string(number - 1);
        }
    }
    return "/dev/" + std::string(portName);
}

std::unique_ptr<SerialDevice> OpenSerialDevice(std::string_view portName) {
    if (portName.empty() || portName.find('\0') != std::string_view::npos) {
        return nullptr;
    }
    const std::string path = SerialDevicePath(portName);
    // Non-blocking, so neither a missing carrier nor a full line ever blocks;
    // writes wait with poll() up to their time-out instead.
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return nullptr;  // only existing devices, never a file that happens to be there
    }
    // Exclusive: an advisory lock that every generator takes, and the
    // terminal's own exclusive mode against other programs.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return nullptr;
    }
    if (isatty(fd.Get()) == 1 && ::ioctl(fd.Get(), TIOCEXCL) != 0) {
        return nullptr;
    }
    FileDescriptor abort(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!abort.Valid()) {
        return nullptr;
    }
    return std::make_unique<PosixSerialDevice>(std::move(fd), std::move(abort));
}

}  // namespace kovra
