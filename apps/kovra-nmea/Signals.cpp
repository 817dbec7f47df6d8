#include "Signals.h"

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

}  // namespace

SignalWatcher::SignalWatcher(engine::Stop& stop) : stop_(stop) {
    const sigset_t set = StopSignals();
    if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
        throw std::system_error(error, std::generic_category(), "pthread_sigmask");
    }
    signals_ = FileDescriptor(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    quit_ = FileDescriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!signals_.Valid() || !quit_.Valid()) {
        throw std::system_error(errno, std::generic_category(), "signalfd");
    }
    // A reader that goes away shows as EPIPE, never as the end of the program.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::sigaction(SIGPIPE, &ignore, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "sigaction(SIGPIPE)");
    }
    watcher_ = std::thread(&SignalWatcher::Watch, this);
}

SignalWatcher::~SignalWatcher() {
    const std::uint64_t one = 1;
    (void)!::write(quit_.Get(), &one, sizeof one);  // only a counter overflow refuses this
    watcher_.join();
}

void SignalWatcher::Watch() {
    pollfd waits[] = {{signals_.Get(), POLLIN, 0}, {quit_.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            stop_.Request();  // cannot watch any more: end the run rather than ignore signals
            return;
        }
        if (waits[1].revents != 0) {
            return;
        }
        signalfd_siginfo info{};
        if (::read(signals_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            stop_.Request();
        }
    }
}

}  // namespace kovra::app
