#include "platform/MappedFile.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14
#endif

namespace {

// A Guarded() call in progress on this thread: the map it watches and where
// a fault in reading it jumps to. Calls may nest (reads of two maps).
struct TGuard {
    sigjmp_buf Jump;
    const char* From;
    const char* To;
    TGuard* Outer;
};
// Read by the signal handler: no lazy allocation of thread-local storage there.
thread_local TGuard* Armed __attribute__((tls_model("initial-exec"))) = nullptr;

// What handled SIGBUS before us, for the faults that are not ours.
struct sigaction Previous {};
std::mutex HandlerLock;

void OnBus(int Signal, siginfo_t* Info, void* Context) {
    const auto Address = reinterpret_cast<uintptr_t>(Info->si_addr);
    for (TGuard* G = Armed; G; G = G->Outer)
        if (Address >= reinterpret_cast<uintptr_t>(G->From) && Address < reinterpret_cast<uintptr_t>(G->To))
            siglongjmp(G->Jump, 1);
    if (Previous.sa_flags & SA_SIGINFO) return Previous.sa_sigaction(Signal, Info, Context);
    if (Previous.sa_handler != SIG_DFL && Previous.sa_handler != SIG_IGN) return Previous.sa_handler(Signal);
    // A signal another process sent may be ignored; a fault cannot be: back
    // at the faulting read it would come again for ever.
    if (Previous.sa_handler == SIG_IGN && Info->si_code <= 0) return;
    // The default action, when the handler returns (the signal is blocked
    // until then; a fault would happen again anyway).
    ::signal(Signal, SIG_DFL);
    ::raise(Signal);
}

// Ours stays in front: another handler installed after ours (a sanitizer's,
// a fuzzer's) is put behind it the next time a map is read.
void InstallHandler() {
    std::lock_guard<std::mutex> Lock(HandlerLock);
    struct sigaction Now {};
    ::sigaction(SIGBUS, nullptr, &Now);
    if ((Now.sa_flags & SA_SIGINFO) && Now.sa_sigaction == OnBus) return;
    // Ours is not installed, so nothing reads Previous meanwhile.
    Previous = Now;
    struct sigaction Ours {};
    Ours.sa_sigaction = OnBus;
    Ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&Ours.sa_mask);
    ::sigaction(SIGBUS, &Ours, nullptr);
}

}  // namespace

TMappedFile::TMappedFile(TFileStream& File, bool Map) : FFile(File), FSize(File.Size()) {
    if (!Map || FSize <= 0 || uint64_t(FSize) > SIZE_MAX) return;
    void* Data = ::mmap(nullptr, size_t(FSize), PROT_READ, MAP_SHARED, File.Handle(), 0);
    // Some file systems cannot map their files: those are read as a stream.
    if (Data != MAP_FAILED) FData = static_cast<const char*>(Data);
}

TMappedFile::~TMappedFile() {
    if (FData) ::munmap(const_cast<char*>(FData), size_t(FSize));
}

int64_t TMappedFile::Seek(int64_t Offset, TSeekOrigin Origin) {
    FPosition = SeekTarget(Offset, Origin, FPosition, FSize);
    return FPosition;
}

int64_t TMappedFile::ReadLoading(void* Buffer, int64_t Count) {
    if (!FData) {
        FFile.SetPosition(FPosition);
        const int64_t Got = FFile.Read(Buffer, Count);
        FPosition += Got;
        return Got;
    }
    const int64_t N = std::min(Count, FSize - FPosition);
    char* Out = static_cast<char*>(Buffer);
    for (int64_t Done = 0; Done < N;) {
        const int64_t Piece = std::min(N - Done, Window);
        Load(FPosition, Piece);
        std::memcpy(Out + Done, FData + FPosition, size_t(Piece));
        FPosition += Piece;
        Done += Piece;
    }
    return std::max<int64_t>(N, 0);
}

void TMappedFile::CopyTo(TFileStream& Target, int64_t At, int64_t Count, TBytesObserver* Observer) {
    if (Count <= 0) return;
    if (At < 0 || At + Count > FSize) throw EReadError();
    if (!FData) {
        FFile.SetPosition(At);
        Target.CopyFrom(FFile, Count, Observer);
        return;
    }
    for (int64_t Done = 0; Done < Count;) {
        const int64_t N = std::min(CopyPiece, Count - Done);
        Load(At + Done, N);
        const char* Piece = FData + At + Done;
        if (Observer) Observer->Seen(Piece, N);
        // The bytes stay mapped until Guarded() has waited for the write.
        if (N >= Window) {
            if (FWritingTo && FWritingTo != &Target) SettleWrites(true);
            FWritingTo = &Target;
            Target.WriteBehind(Piece, N);
        } else {
            Target.WriteBuffer(Piece, N);
        }
        Done += N;
    }
}

void TMappedFile::Show(int64_t At, int64_t Count, TBytesObserver& Observer) {
    if (Count <= 0) return;
    if (At < 0 || At + Count > FSize) throw EReadError();
    if (!FData) {
        FShown.resize(size_t(std::min(Count, Window)));
        FFile.SetPosition(At);
        for (int64_t Done = 0; Done < Count;) {
            const int64_t N = std::min(Count - Done, Window);
            FFile.ReadBuffer(FShown.data(), N);
            Observer.Seen(FShown.data(), N);
            Done += N;
        }
        return;
    }
    for (int64_t Done = 0; Done < Count;) {
        const int64_t N = std::min(Count - Done, Window);
        Load(At + Done, N);
        Observer.Seen(FData + At + Done, N);
        Done += N;
    }
}

void TMappedFile::Load(int64_t At, int64_t Count) {
    bool Guarded = false;
    for (TGuard* G = Armed; G && !Guarded; G = G->Outer) Guarded = G->From == FData;
    if (!Guarded) throw std::logic_error("A mapped file is read outside Guarded()");
    // A reader that moves on a little past the loaded bytes (a frame's
    // length) has the windows up to it loaded; one that moves elsewhere
    // starts over there.
    if (At < FLoadedFrom || At >= FLoadedTo + Window) {
        LetGo(FLoadedFrom, FLoadedTo);
        FLoadedFrom = FLoadedTo = At / Window * Window;
    }
    while (FLoadedTo < At + Count) {
        const int64_t Next = std::min(FLoadedTo + Window, FSize);
        LoadWindow(FLoadedTo, Next - FLoadedTo);
        FLoadedTo = Next;
    }
    // Letting go costs the other processors a flush of their address
    // caches when the process has threads: it is done in large steps.
    if (FLoadedTo - FLoadedFrom >= 2 * Kept) {
        const int64_t Keep = std::min(At, FLoadedTo - Kept) / Window * Window;
        LetGo(FLoadedFrom, Keep);
        FLoadedFrom = std::max(FLoadedFrom, Keep);
    }
}

void TMappedFile::LoadWindow(int64_t At, int64_t Count) {
    if (const int Error = TFileStream::InjectedReadFault(FileName(), At)) RaiseFault(Error);
    if (!FPopulate) return;
    // Loading the pages ahead costs less than faulting them in one by one,
    // and a page that cannot be read fails here instead of raising SIGBUS.
    while (::madvise(const_cast<char*>(FData + At), size_t(Count), MADV_POPULATE_READ) != 0) {
        if (errno == EINTR) continue;
        // A system that cannot load on request: the reads fault the pages in.
        if (errno == EINVAL) {
            FPopulate = false;
            return;
        }
        RaiseFault(errno == EFAULT ? 0 : errno);
    }
}

// The pages stay in the system's cache; only this process lets them go.
void TMappedFile::LetGo(int64_t From, int64_t To) {
    if (To > From) ::madvise(const_cast<char*>(FData + From), size_t(To - From), MADV_DONTNEED);
}

// A page that cannot be read is one the file no longer has, or one the disk
// failed to give.
void TMappedFile::RaiseFault(int Error) const {
    if (Error != 0) throw EReadError(FileName(), std::generic_category().message(Error));
    struct stat St {};
    if (::fstat(FFile.Handle(), &St) == 0 && St.st_size < FSize) throw EReadError(FileName(), ShorterThanOpened);
    throw EReadError(FileName(), std::generic_category().message(EIO));
}

void TMappedFile::SettleWrites(bool Raise) {
    TFileStream* Target = FWritingTo;
    FWritingTo = nullptr;
    if (!Target) return;
    if (Raise) return Target->Settle();
    try {
        Target->Settle();
    } catch (const EStreamError&) {
        // What went wrong first is raised.
    }
}

void TMappedFile::GuardedCall(void (*Work)(void*), void* Context) {
    if (!FData) return Work(Context);
    InstallHandler();
    TGuard Guard;
    Guard.From = FData;
    Guard.To = FData + FSize;
    Guard.Outer = Armed;
    if (sigsetjmp(Guard.Jump, 1) != 0) {
        Armed = Guard.Outer;
        SettleWrites(false);
        RaiseFault();
    }
    Armed = &Guard;
    try {
        Work(Context);
        SettleWrites(true);
    } catch (const EWriteError& E) {
        Armed = Guard.Outer;
        SettleWrites(false);
        // The system copies from the map itself, and fails the write (rather
        // than raising SIGBUS) when a page cannot be read: the fault is ours.
        if (E.Error() == EFAULT) RaiseFault();
        throw;
    } catch (...) {
        Armed = Guard.Outer;
        SettleWrites(false);
        throw;
    }
    Armed = Guard.Outer;
}
