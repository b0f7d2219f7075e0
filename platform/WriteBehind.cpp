#include "platform/WriteBehind.h"

#include <cerrno>
#include <chrono>
#include <unistd.h>

#include "platform/HelperThread.h"

namespace {

// 0, or the error number of the failed write.
int PwriteAll(int Handle, const char* Data, int64_t Count, int64_t At) {
    for (int64_t Done = 0; Done < Count;) {
        const ssize_t N = ::pwrite(Handle, Data + Done, static_cast<size_t>(Count - Done), At + Done);
        if (N < 0 && errno == EINTR) continue;
        if (N < 0) return errno;
        Done += N;
    }
    return 0;
}

}  // namespace

TWriteBehind::TWriteBehind(int Handle) : FHandle(Handle), FThread(StartHelperThread([this] { Run(); })) {
    KeepOffThisProcessor(FThread);
}

TWriteBehind::~TWriteBehind() {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

// The thread that hands over writes is mostly quicker than the system's copy
// into the file, and waits for room. Woken by the writing thread, the system
// would move it onto that thread's processor, where the two take turns while
// another processor idles: it naps and looks again instead.
void TWriteBehind::Nap(std::unique_lock<std::mutex>& Lock) {
    Lock.unlock();
    std::this_thread::sleep_for(NapTime);
    Lock.lock();
}

int TWriteBehind::Write(const char* Data, int64_t Count, int64_t At) {
    std::unique_lock<std::mutex> Lock(FLock);
    while (FCount == Depth && FError == 0) Nap(Lock);
    if (FError != 0) return FError;
    FJobs[(FFirst + FCount) % Depth] = {Data, Count, At};
    ++FCount;
    Lock.unlock();
    FChanged.notify_all();
    return 0;
}

int TWriteBehind::Wait() {
    std::unique_lock<std::mutex> Lock(FLock);
    while (FCount > 0) Nap(Lock);
    return FError;
}

void TWriteBehind::Run() {
    std::unique_lock<std::mutex> Lock(FLock);
    for (;;) {
        FChanged.wait(Lock, [this] { return FCount > 0 || FStop; });
        if (FCount == 0) return;
        const TJob Job = FJobs[FFirst];
        int Error = FError;
        if (Error == 0) {
            Lock.unlock();
            Error = PwriteAll(FHandle, Job.Data, Job.Count, Job.At);
            Lock.lock();
        }
        if (FError == 0) FError = Error;
        FFirst = (FFirst + 1) % Depth;
        --FCount;
        FChanged.notify_all();
    }
}
