#include "platform/WriteBehind.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

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

class TWriterThread {
public:
    static TWriterThread& Get() {
        static std::unique_ptr<TWriterThread> Writer;
        static pid_t Owner = 0;
        std::lock_guard<std::mutex> Lock(Making());
        // A child made by fork() has none of its parent's threads: it gets a
        // writer of its own, and leaves its copy of the parent's alone.
        if (Writer && Owner != ::getpid()) static_cast<void>(Writer.release());
        if (!Writer) {
            Writer.reset(new TWriterThread);
            Owner = ::getpid();
        }
        return *Writer;
    }
    ~TWriterThread() {
        {
            std::lock_guard<std::mutex> Lock(FLock);
            FStop = true;
        }
        FChanged.notify_all();
        FThread.join();
    }

    // The writer is kept off the processor of the thread that starts a new
    // file's writes, as a thread of its own for the file would be.
    void Begin() {
        std::lock_guard<std::mutex> Lock(FLock);
        KeepOffThisProcessor(FThread);
    }

    int Write(TWriteBehind& Owner, const char* Data, int64_t Count, int64_t At) {
        std::unique_lock<std::mutex> Lock(FLock);
        while (FCount == TWriteBehind::Depth && Owner.FError == 0) Nap(Lock);
        if (Owner.FError != 0) return Owner.FError;
        FJobs[(FFirst + FCount) % TWriteBehind::Depth] = {&Owner, Data, Count, At};
        ++FCount;
        ++Owner.FPending;
        Lock.unlock();
        FChanged.notify_all();
        return 0;
    }

    // The last writes of a file are waited for without napping: nothing is
    // left to hand over, and every moment the caller sleeps past their end
    // is a moment this thread idles before the next file's writes.
    int Wait(TWriteBehind& Owner) {
        std::unique_lock<std::mutex> Lock(FLock);
        FChanged.wait(Lock, [&Owner] { return Owner.FPending == 0; });
        return Owner.FError;
    }

private:
    struct TJob {
        TWriteBehind* Owner = nullptr;
        const char* Data = nullptr;
        int64_t Count = 0;
        int64_t At = 0;
    };

    TWriterThread() : FThread(StartHelperThread([this] { Run(); })) {}
    static std::mutex& Making() {
        static std::mutex M;
        return M;
    }

    // The thread that hands over writes is mostly quicker than the system's
    // copy into the file, and waits for room. Woken by the writing thread,
    // the system would move it onto that thread's processor, where the two
    // take turns while another processor idles: it naps and looks again
    // instead.
    static void Nap(std::unique_lock<std::mutex>& Lock) {
        Lock.unlock();
        std::this_thread::sleep_for(NapTime);
        Lock.lock();
    }

    void Run() {
        std::unique_lock<std::mutex> Lock(FLock);
        for (;;) {
            FChanged.wait(Lock, [this] { return FCount > 0 || FStop; });
            if (FCount == 0) return;
            const TJob Job = FJobs[FFirst];
            int Error = Job.Owner->FError;
            if (Error == 0) {
                Lock.unlock();
                Error = PwriteAll(Job.Owner->FHandle, Job.Data, Job.Count, Job.At);
                Lock.lock();
            }
            if (Job.Owner->FError == 0) Job.Owner->FError = Error;
            --Job.Owner->FPending;
            FFirst = (FFirst + 1) % TWriteBehind::Depth;
            --FCount;
            FChanged.notify_all();
        }
    }

    static constexpr std::chrono::microseconds NapTime{50};

    std::mutex FLock;
    std::condition_variable FChanged;
    std::array<TJob, TWriteBehind::Depth> FJobs{};  // a ring: FCount jobs from FFirst on
    size_t FFirst = 0;
    size_t FCount = 0;
    bool FStop = false;
    std::thread FThread;
};

TWriteBehind::TWriteBehind(int Handle) : FHandle(Handle) { TWriterThread::Get().Begin(); }

TWriteBehind::~TWriteBehind() { Wait(); }

int TWriteBehind::Write(const char* Data, int64_t Count, int64_t At) {
    return TWriterThread::Get().Write(*this, Data, Count, At);
}

int TWriteBehind::Wait() { return TWriterThread::Get().Wait(*this); }
