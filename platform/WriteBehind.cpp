#include "platform/WriteBehind.h"

#include <cerrno>
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

TWriteBehind::TWriteBehind(int Handle) : FHandle(Handle), FThread(StartHelperThread([this] { Run(); })) {}

TWriteBehind::~TWriteBehind() {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

int TWriteBehind::Write(const char* Data, int64_t Count, int64_t At) {
    std::unique_lock<std::mutex> Lock(FLock);
    FChanged.wait(Lock, [this] { return FCount < Depth || FError != 0; });
    if (FError != 0) return FError;
    FJobs[(FFirst + FCount) % Depth] = {Data, Count, At};
    ++FCount;
    Lock.unlock();
    FChanged.notify_all();
    return 0;
}

int TWriteBehind::Wait() {
    std::unique_lock<std::mutex> Lock(FLock);
    FChanged.wait(Lock, [this] { return FCount == 0; });
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
