#include "song/signal_cleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace zephrane {
namespace {

// The handler may only read memory that needs no allocation, so the paths sit in fixed buffers;
// a slot's state is written last when it is taken and first when it is freed.
constexpr int kSlots = 8;
constexpr size_t kPathCapacity = 4096;
enum SlotState : sig_atomic_t { kFree = 0, kFile = 1, kFolder = 2 };

char slotPaths[kSlots][kPathCapacity];
volatile sig_atomic_t slotStates[kSlots];

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(kEndingSignals)];

void RemoveEvery(SlotState state) {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (slotStates[slot] != state) continue;
        if (state == kFile) {
            ::unlink(slotPaths[slot]);
        } else {
            ::rmdir(slotPaths[slot]);
        }
    }
}

// Removes the files, then the folders they were in, and lets the signal do what it did before.
extern "C" void RemoveAndEnd(int signalNumber) {
    RemoveEvery(kFile);
    RemoveEvery(kFolder);
    for (size_t index = 0; index < std::size(kEndingSignals); ++index) {
        if (kEndingSignals[index] != signalNumber) continue;
        ::sigaction(signalNumber, &previousActions[index], nullptr);
    }
    // Blocked until this handler returns, then delivered with the action restored.
    ::raise(signalNumber);
}

// Checked on every registration rather than once, so that a program (or a forked child) that
// reset a signal gets the handler again; a signal the program ignores stays ignored.
void InstallHandlers() {
    for (size_t index = 0; index < std::size(kEndingSignals); ++index) {
        struct sigaction current {};
        ::sigaction(kEndingSignals[index], nullptr, &current);
        if (current.sa_handler == SIG_IGN || current.sa_handler == RemoveAndEnd) continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        sigemptyset(&action.sa_mask);
        for (const int other : kEndingSignals)
            sigaddset(&action.sa_mask, other);
        previousActions[index] = current;
        ::sigaction(kEndingSignals[index], &action, nullptr);
    }
}

}  // namespace

RemovedOnSignal::RemovedOnSignal(const std::string& path, Kind kind) : slot_(-1) {
    InstallHandlers();
    if (path.size() >= kPathCapacity) return;
    for (int slot = 0; slot < kSlots; ++slot) {
        if (slotStates[slot] != kFree) continue;
        std::memcpy(slotPaths[slot], path.c_str(), path.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slotStates[slot] = kind == Kind::File ? kFile : kFolder;
        slot_ = slot;
        return;
    }
}

void RemovedOnSignal::Release() {
    if (slot_ < 0) return;
    slotStates[slot_] = kFree;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot_ = -1;
}

}  // namespace zephrane
