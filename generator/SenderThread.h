// The background writer of a generator. In the two newer generations one
// polling thread per generator writes the latest text handed over, every
// 50 ms, once a port is connected. In the oldest generation each hand-over
// starts a one-shot thread that writes its text once, if a port is connected.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/BuildProfile.h"
#include "foundation/Export.h"

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

    // Asks the thread to stop, wakes it and waits for it; pending text is
    // dropped. A write in progress finishes first (within its time-out).
    ~TSenderThread();
    TSenderThread(const TSenderThread&) = delete;
    TSenderThread& operator=(const TSenderThread&) = delete;

    TKovraNMEAGenerator& Owner() const { return FOwner; }
    // The pending text; empty means nothing is pending.
    std::string Buffer() const;
    // Replaces the pending text; a text not yet written is never sent. Never
    // waits for a write in progress.
    void Buffer(std::string text);
    // True while text is pending or being written.
    bool Pending() const;
    // True once the thread's body has returned.
    bool Finished() const { return FFinished.load(); }
    // Asks the thread to stop without waiting for it; a one-shot writer that
    // has not begun its write then skips it.
    void RequestStop();

private:
    friend class TKovraNMEAGenerator;
    TSenderThread(TKovraNMEAGenerator& AOwner, std::string text, bool polling);
    void Execute();
    void ExecuteOnce();
    // Takes the owner's lock, then writes the pending text if a port is
    // connected and the thread is not stopping.
    void WritePending();

    TKovraNMEAGenerator& FOwner;
    // Guards the pending text and the stop request only, never a write: a
    // hand-over takes it and returns at once, also while the line stalls.
    mutable std::mutex FLock;
    std::string FBuffer;
    bool FTerminated = false;
    bool FWriting = false;
    std::condition_variable FWake;
    std::atomic<bool> FFinished{false};
    std::thread FThread;  // last: starts once everything above is ready
};

}  // namespace kovra
