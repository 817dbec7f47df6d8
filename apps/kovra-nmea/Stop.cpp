#include "Stop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace kovra::app {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

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

Stop::Stop() : event_(MakeEvent()), quit_(MakeEvent()) {
    const sigset_t set = StopSignals();
    if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
        throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    }
    signals_ = FileDescriptor(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signals_.Valid()) {
        throw std::system_error(errno, std::generic_category(), "signalfd");
    }
    // A reader that goes away shows as EPIPE, never as the end of the program.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::sigaction(SIGPIPE, &ignore, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "sigaction(SIGPIPE)");
    }
    watcher_ = std::thread(&Stop::Watch, this);
}

Stop::~Stop() {
    Raise(quit_);
    watcher_.join();
}

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

void Stop::Watch() {
    pollfd waits[] = {{signals_.Get(), POLLIN, 0}, {quit_.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            Request();  // cannot watch any more: end the run rather than ignore signals
            return;
        }
        if (waits[1].revents != 0) {
            return;
        }
        signalfd_siginfo info{};
        if (::read(signals_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            Request();
        }
    }
}

}  // namespace kovra::app
