// SIGINT, SIGTERM and SIGHUP end a run: they are blocked in every thread and
// read by one watcher thread through a signalfd, which requests the stop.
#pragma once

#include <thread>

#include "engine/run/Stop.h"
#include "foundation/FileDescriptor.h"

namespace kovra::app {

class SignalWatcher {
public:
    // Blocks the three signals in the calling thread, and so in every thread
    // started after it: construct it before any other thread exists.
    explicit SignalWatcher(engine::Stop& stop);
    // Ends and joins the watcher.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    void Watch();

    engine::Stop& stop_;
    FileDescriptor signals_;
    FileDescriptor quit_;  // eventfd: ends the watcher
    std::thread watcher_;
};

}  // namespace kovra::app
