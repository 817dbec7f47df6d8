#include "serial/SenderThread.h"

#include <chrono>

#include "core/KovraNMEAGenerator.h"

namespace kovra {

namespace {
constexpr std::chrono::milliseconds kPollInterval{50};
}

TSenderThread::TSenderThread(TKovraNMEAGenerator& AOwner, std::string text, bool polling)
    : FOwner(AOwner), FBuffer(std::move(text)) {
    FThread = std::thread(polling ? &TSenderThread::Execute : &TSenderThread::ExecuteOnce, this);
}

TSenderThread::~TSenderThread() {
    {
        const std::lock_guard lock(FOwner.FCriticalSection);
        FTerminated = true;
    }
    FWake.notify_all();
    if (FThread.joinable()) {
        FThread.join();
    }
}

std::string TSenderThread::Buffer() const {
    const std::lock_guard lock(FOwner.FCriticalSection);
    return FBuffer;
}

void TSenderThread::Buffer(std::string text) {
    const std::lock_guard lock(FOwner.FCriticalSection);
    FBuffer = std::move(text);
}

void TSenderThread::WritePendingLocked() {
    // Text handed over while no port is connected waits, one text deep.
    if (FBuffer.empty() || FOwner.FCommPort.empty()) {
        return;
    }
    (void)FOwner.WriteLocked(FBuffer);  // a failed or short write is not retried
    FBuffer.clear();
}

void TSenderThread::Execute() {
    std::unique_lock lock(FOwner.FCriticalSection);
    while (!FTerminated) {
        WritePendingLocked();
        FWake.wait_for(lock, kPollInterval, [this] { return FTerminated; });
    }
    FFinished = true;
}

void TSenderThread::ExecuteOnce() {
    const std::lock_guard lock(FOwner.FCriticalSection);
    if (!FOwner.FCommPort.empty()) {
        (void)FOwner.WriteLocked(FBuffer);
    }
    FBuffer.clear();  // nothing stays pending in a one-shot writer
    FFinished = true;
}

}  // namespace kovra
