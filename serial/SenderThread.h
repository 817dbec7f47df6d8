// The background writer of a generator. In the two newer generations one
// polling thread per generator writes the latest text handed over, every
// 50 ms, once a port is connected. In the oldest generation each hand-over
// starts a one-shot thread that writes its text once, if a port is connected.
#pragma once

#include <atomic>
#include <condition_variable>
#include <string>
#include <thread>

#include "host/BuildProfile.h"
#include "host/Export.h"

namespace kovra {

class TKovraNMEAGenerator;

class KOVRA_API TSenderThread {
public:
    // The polling writer of AOwner, running at once.
    template <bool Polling = kProfile.longLivedSender>
        requires Polling
    explicit TSenderThread(TKovraNMEAGenerator& AOwner) : TSenderThread(AOwner, std::string(), true) {}
    // A one-shot writer of `text` for AOwner, running at once.
    template <bool Polling = kProfile.longLivedSender>
        requires(!Polling)
    TSenderThread(TKovraNMEAGenerator& AOwner, std::string text) : TSenderThread(AOwner, std::move(text), false) {}

    // Asks the thread to stop, wakes it and waits for it; pending text is dropped.
    ~TSenderThread();
    TSenderThread(const TSenderThread&) = delete;
    TSenderThread& operator=(const TSenderThread&) = delete;

    TKovraNMEAGenerator& Owner() const { return FOwner; }
    // The pending text; empty means nothing is pending.
    std::string Buffer() const;
    // Replaces the pending text; a text not yet written is never sent.
    void Buffer(std::string text);
    // True once the thread's body has returned.
    bool Finished() const { return FFinished.load(); }

private:
    friend class TKovraNMEAGenerator;
    TSenderThread(TKovraNMEAGenerator& AOwner, std::string text, bool polling);
    void Execute();
    void ExecuteOnce();
    // Writes the pending text if a port is connected; the owner's lock is held.
    void WritePendingLocked();

    TKovraNMEAGenerator& FOwner;
    std::string FBuffer;  // guarded by the owner's lock
    bool FTerminated = false;  // guarded by the owner's lock
    std::condition_variable FWake;
    std::atomic<bool> FFinished{false};
    std::thread FThread;  // last: starts once everything above is ready
};

}  // namespace kovra
