// How a run is told to end: the request marks the stop, wakes every wait
// through a descriptor and aborts what cannot wait on one. Any thread may
// request it (a signal watcher, a host's own control).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "foundation/FileDescriptor.h"

namespace kovra::engine {

class Stop {
public:
    Stop();
    Stop(const Stop&) = delete;
    Stop& operator=(const Stop&) = delete;

    bool Requested() const { return requested_.load(); }
    // Readable once a stop has been requested, for poll().
    int Descriptor() const { return event_.Get(); }
    // Asks for the stop; the later requests change nothing.
    void Request();
    // Runs `abort` on the requesting thread when a stop comes (at once when it
    // already has), for waits that cannot watch the descriptor, as long as
    // the returned hook lives. Its destructor waits for an abort running.
    class Hook;
    Hook OnStop(std::function<void()> abort);
    // Sleeps until `deadline`; false when a stop came first.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;

private:
    std::atomic<bool> requested_{false};
    FileDescriptor event_;  // eventfd: becomes readable on the stop
    std::mutex lock_;  // held while the aborts run
    std::map<std::uint64_t, std::function<void()>> aborts_;
    std::uint64_t nextHook_ = 0;
};

class Stop::Hook {
public:
    Hook(Stop& stop, std::uint64_t id) : stop_(&stop), id_(id) {}
    ~Hook() {
        if (stop_ != nullptr) {
            const std::lock_guard lock(stop_->lock_);
            stop_->aborts_.erase(id_);
        }
    }
    Hook(Hook&& other) noexcept : stop_(std::exchange(other.stop_, nullptr)), id_(other.id_) {}
    Hook& operator=(Hook&&) = delete;
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;

private:
    Stop* stop_;
    std::uint64_t id_;
};

}  // namespace kovra::engine
