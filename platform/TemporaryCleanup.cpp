#include "platform/TemporaryCleanup.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

// A signal handler may only read what it finds here: fixed storage, and a
// flag that says the name is complete.
struct TSlot {
    std::atomic<bool> Taken{false};
    std::atomic<bool> Armed{false};
    char Name[PATH_MAX] = {};
};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads these flags");

std::array<TSlot, 8> Slots;
constexpr std::array<int, 3> EndingSignals = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTemporariesAndEnd(int Signal) {
    // unlink, signal and raise are async-signal-safe.
    for (TSlot& S : Slots)
        if (S.Armed.load(std::memory_order_acquire)) ::unlink(S.Name);
    ::signal(Signal, SIG_DFL);
    ::raise(Signal);
}

// Once, at the first name registered: every ending signal that still has
// its default action gets the handler. A signal the program ignores (nohup)
// or handles itself stays as it is.
void InstallHandlersOnce() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        for (int Signal : EndingSignals) {
            struct sigaction Current {};
            if (::sigaction(Signal, nullptr, &Current) != 0 || Current.sa_handler != SIG_DFL) continue;
            struct sigaction Action {};
            Action.sa_handler = RemoveTemporariesAndEnd;
            sigemptyset(&Action.sa_mask);
            for (int Other : EndingSignals) sigaddset(&Action.sa_mask, Other);
            ::sigaction(Signal, &Action, nullptr);
        }
    });
}

}  // namespace

TCleanupOnSignal::TCleanupOnSignal(const std::string& FileName) {
    if (FileName.empty() || FileName.size() >= PATH_MAX) return;
    InstallHandlersOnce();
    for (size_t I = 0; I < Slots.size(); ++I) {
        bool Free = false;
        if (!Slots[I].Taken.compare_exchange_strong(Free, true)) continue;
        std::memcpy(Slots[I].Name, FileName.c_str(), FileName.size() + 1);
        Slots[I].Armed.store(true, std::memory_order_release);
        FSlot = static_cast<int>(I);
        return;
    }
}

TCleanupOnSignal::~TCleanupOnSignal() {
    if (FSlot < 0) return;
    Slots[size_t(FSlot)].Armed.store(false, std::memory_order_release);
    Slots[size_t(FSlot)].Taken.store(false, std::memory_order_release);
}

void IgnoreWriteSignals() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}
