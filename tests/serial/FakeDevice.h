// A serial device for tests of the generator's locking: its line can be
// stalled (a write then waits for its time-out or an abort), and its close
// can be made to report an error.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "serial/SerialDevice.h"

namespace kovra::test {

struct FakeLine {
    std::mutex lock;
    std::condition_variable changed;
    bool stalled = false;
    bool closeFails = false;
    std::string written;
    std::atomic<int> writesInProgress{0};
    std::atomic<int> closes{0};
};

class FakeDevice final : public SerialDevice {
public:
    explicit FakeDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

    bool Configure(std::int32_t baudRate) override { return baudRate > 0; }
    void SetWriteTimeout(std::chrono::milliseconds constant, std::chrono::milliseconds perByte) override {
        constant_ = constant;
        perByte_ = perByte;
    }
    std::size_t Write(std::string_view bytes, std::error_code& error) override {
        ++line_->writesInProgress;
        std::unique_lock lock(line_->lock);
        const auto deadline = std::chrono::steady_clock::now() + constant_ + perByte_ * static_cast<int>(bytes.size());
        const bool free = line_->changed.wait_until(lock, deadline, [&] { return !line_->stalled || aborted_; });
        --line_->writesInProgress;
        if (aborted_) {
            error = std::make_error_code(std::errc::operation_canceled);
            return 0;
        }
        if (!free) {
            error = std::make_error_code(std::errc::timed_out);
            return 0;
        }
        error.clear();
        line_->written.append(bytes);
        return bytes.size();
    }
    void AbortWrite() override {
        const std::lock_guard lock(line_->lock);
        aborted_ = true;
        line_->changed.notify_all();
    }
    void Purge() override {}
    bool Close() override {
        ++line_->closes;
        return !line_->closeFails;
    }

private:
    std::shared_ptr<FakeLine> line_;
    bool aborted_ = false;  // guarded by the line's lock
    std::chrono::milliseconds constant_{100};
    std::chrono::milliseconds perByte_{3};
};

inline std::unique_ptr<SerialDevice> MakeFakeDevice(const std::shared_ptr<FakeLine>& line) {
    return std::make_unique<FakeDevice>(line);
}

}  // namespace kovra::test
