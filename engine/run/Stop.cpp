#include "engine/run/Stop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace kovra::engine {

namespace {

FileDescriptor MakeEvent() {
    FileDescriptor fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd.Valid()) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    return fd;
}

void Raise(const FileDescriptor& event) {
    const std::uint64_t one = 1;
    // Fails only when the counter would overflow, and then it is raised already.
    (void)!::write(event.Get(), &one, sizeof one);
}

}  // namespace

Stop::Stop() : event_(MakeEvent()) {}

void Stop::Request() {
    const std::lock_guard lock(lock_);
    if (requested_.exchange(true)) {
        return;
    }
    Raise(event_);
    for (const auto& [id, abort] : aborts_) {
        abort();
    }
}

Stop::Hook Stop::OnStop(std::function<void()> abort) {
    const std::lock_guard lock(lock_);
    if (requested_) {
        abort();
    }
    aborts_.emplace(nextHook_, std::move(abort));
    return Hook(*this, nextHook_++);
}

bool Stop::SleepUntil(std::chrono::steady_clock::time_point deadline) const {
    for (;;) {
        if (Requested()) {
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd wait{event_.Get(), POLLIN, 0};
        if (::poll(&wait, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "poll");
        }
    }
}

}  // namespace kovra::engine
