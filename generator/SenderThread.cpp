#include "generator/SenderThread.h"

#include <chrono>
#include <utility>

#include "generator/KovraNMEAGenerator.h"

namespace kovra {

namespace {
constexpr std::chrono::milliseconds kPollInterval{50};
}

TSenderThread::TSenderThread(TKovraNMEAGenerator& AOwner, std::string text, bool polling)
    : FOwner(AOwner), FBuffer(std::move(text)) {
    FThread = std::thread(polling ? &TSenderThread::Execute : &TSenderThread::ExecuteOnce, this);
}

TSenderThread::~TSenderThread() {
    RequestStop();
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TSenderThread::RequestStop() {
    {
        const std::lock_guard lock(FLock);
        FTerminated = true;
    }
    FWake.notify_all();
}

std::string TSenderThread::Buffer() const {
    const std::lock_guard lock(FLock);
    return FBuffer;
}

void TSenderThread::Buffer(std::string text) {
    const std::lock_guard lock(FLock);
    FBuffer = std::move(text);
}

bool TSenderThread::Pending() const {
    const std::lock_guard lock(FLock);
    return !FBuffer.empty() || FWriting;
}

void TSenderThread::WritePending() {
    // The owner's lock first, then ours only to take the text: the order is
    // always the same, and a hand-over never waits behind the write.
    const std::lock_guard device(FOwner.FCriticalSection);
    std::string text;
    {
        const std::lock_guard lock(FLock);
        // Text handed over while no port is connected waits, one text deep.
        if (FTerminated || FBuffer.empty() || FOwner.FCommPort.empty()) {
            return;
        }
        text = std::exchange(FBuffer, std::string());
        FWriting = true;
    }
    (void)FOwner.WriteLocked(text);  // a failed or short write is not retried
    const std::lock_guard lock(FLock);
    FWriting = false;
}

void TSenderThread::Execute() {
    std::unique_lock lock(FLock);
    while (!FTerminated) {
        if (!FBuffer.empty()) {
            lock.unlock();
            WritePending();
            lock.lock();
        }
        FWake.wait_for(lock, kPollInterval, [this] { return FTerminated; });
    }
    FFinished = true;
}

void TSenderThread::ExecuteOnce() {
    const std::lock_guard device(FOwner.FCriticalSection);
    std::string text;
    {
        const std::lock_guard lock(FLock);
        if (!FTerminated) {
            text = std::exchange(FBuffer, std::string());  // nothing stays pending in a one-shot writer
        }
    }
    if (!text.empty() && !FOwner.FCommPort.empty()) {
        (void)FOwner.WriteLocked(text);
    }
    FFinished = true;
}

}  // namespace kovra
