#include "platform/LoadAhead.h"

#include <algorithm>
#include <sys/mman.h>

#include "platform/HelperThread.h"

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14
#endif

TLoadAhead::TLoadAhead(const char* Data, int64_t Size, int64_t Window)
    : FData(Data), FSize(Size), FWindow(Window), FThread(StartHelperThread([this] { Run(); })) {}

TLoadAhead::~TLoadAhead() {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TLoadAhead::Ask(int64_t From, int64_t To) {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        // Asked on from within what is loaded: go on from there.
        if (From < FStart || From > FDone) FStart = FDone = From;
        FTo = std::min(To, FSize);
    }
    FChanged.notify_all();
}

bool TLoadAhead::Loaded(int64_t From, int64_t To) {
    std::lock_guard<std::mutex> Lock(FLock);
    return FStart <= From && To <= FDone;
}

void TLoadAhead::Run() {
    std::unique_lock<std::mutex> Lock(FLock);
    for (;;) {
        FChanged.wait(Lock, [this] { return FDone < FTo || FStop; });
        if (FStop) return;
        const int64_t At = FDone;
        const int64_t End = std::min(At + FWindow, FSize);
        Lock.unlock();
        // A window that cannot be loaded is left to the reader, who raises
        // its error when it comes to it.
        const bool Done = ::madvise(const_cast<char*>(FData + At), size_t(End - At), MADV_POPULATE_READ) == 0;
        Lock.lock();
        if (FDone != At) continue;  // asked for something else meanwhile
        if (Done)
            FDone = End;
        else
            FTo = FDone;
    }
}
