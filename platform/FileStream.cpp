#include "platform/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Big enough that a walk over ~400-byte frames costs one system call per
// hundreds of frames; small enough to stay in the CPU caches.
constexpr int64_t BufferSize = 256 * 1024;

std::string SystemReason(int Error) { return std::strerror(Error); }

ssize_t PreadAll(int Fd, char* Data, int64_t Count, int64_t At) {
    int64_t Done = 0;
    while (Done < Count) {
        ssize_t N = ::pread(Fd, Data + Done, static_cast<size_t>(Count - Done), At + Done);
        if (N < 0) {
            if (errno == EINTR) continue;
            return Done > 0 ? static_cast<ssize_t>(Done) : -1;
        }
        if (N == 0) break;
        Done += N;
    }
    return static_cast<ssize_t>(Done);
}

bool PwriteAll(int Fd, const char* Data, int64_t Count, int64_t At) {
    int64_t Done = 0;
    while (Done < Count) {
        ssize_t N = ::pwrite(Fd, Data + Done, static_cast<size_t>(Count - Done), At + Done);
        if (N < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        Done += N;
    }
    return true;
}

}  // namespace

bool FileIdentityOf(const std::string& FileName, TFileIdentity& Identity) {
    struct stat St {};
    if (::stat(FileName.c_str(), &St) != 0) return false;
    Identity = {St.st_dev, St.st_ino};
    return true;
}

bool FileExists(const std::string& FileName) {
    struct stat St {};
    return !FileName.empty() && ::stat(FileName.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode)
    : FFileName(FileName), FWritable(Mode != TFileMode::fmOpenRead), FBuffer(BufferSize) {
    int Flags = O_RDONLY | O_CLOEXEC;
    if (Mode == TFileMode::fmCreate) Flags = O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC;
    if (Mode == TFileMode::fmOpenReadWrite) Flags = O_RDWR | O_CLOEXEC;
    const char* Verb = Mode == TFileMode::fmCreate ? "Cannot create file" : "Cannot open file";
    FHandle = ::open(FileName.c_str(), Flags, 0666);
    if (FHandle < 0) throw EFOpenError(std::string(Verb) + " \"" + FileName + "\". " + SystemReason(errno));
    struct stat St {};
    if (::fstat(FHandle, &St) != 0 || S_ISDIR(St.st_mode)) {
        const int Error = S_ISDIR(St.st_mode) ? EISDIR : errno;
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError(std::string(Verb) + " \"" + FileName + "\". " + SystemReason(Error));
    }
    FSize = St.st_size;
}

TFileStream::~TFileStream() {
    try {
        Flush();
    } catch (const EStreamError&) {
        // A destructor cannot report; callers that care call Flush() first.
    }
    if (FHandle >= 0) ::close(FHandle);
}

TFileIdentity TFileStream::Identity() const {
    struct stat St {};
    if (::fstat(FHandle, &St) != 0) return {};
    return {St.st_dev, St.st_ino};
}

bool TFileStream::FillFrom(int64_t At) {
    FBufStart = At;
    FBufLen = 0;
    if (At >= FSize) return false;
    const ssize_t N = PreadAll(FHandle, FBuffer.data(), BufferSize, At);
    FBufLen = N > 0 ? N : 0;
    return FBufLen > 0;
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    if (FBufDirty) FlushWrites();
    char* Out = static_cast<char*>(Buffer);
    int64_t Done = 0;
    while (Done < Count && FPosition < FSize) {
        const int64_t Want = Count - Done;
        if (FPosition >= FBufStart && FPosition < FBufStart + FBufLen) {
            const int64_t N = std::min(Want, FBufStart + FBufLen - FPosition);
            std::memcpy(Out + Done, FBuffer.data() + (FPosition - FBufStart), static_cast<size_t>(N));
            Done += N;
            FPosition += N;
        } else if (Want >= BufferSize) {
            const ssize_t N = PreadAll(FHandle, Out + Done, Want, FPosition);
            if (N <= 0) break;
            Done += N;
            FPosition += N;
        } else if (!FillFrom(FPosition)) {
            break;
        }
    }
    return Done;
}

void TFileStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Count < 0 || Read(Buffer, Count) != Count) throw EReadError();
}

void TFileStream::WriteBuffer(const void* Buffer, int64_t Count) {
    if (Count <= 0) return;
    if (!FWritable) throw EWriteError();
    const char* Data = static_cast<const char*>(Buffer);
    if (!FBufDirty) DropReadBuffer();
    const bool Appends = FBufDirty && FPosition == FBufStart + FBufLen;
    if (FBufDirty && (!Appends || FBufLen + Count > BufferSize)) FlushWrites();
    if (Count >= BufferSize) {
        RawWrite(FPosition, Data, Count);
    } else {
        if (!FBufDirty) {
            FBufStart = FPosition;
            FBufLen = 0;
            FBufDirty = true;
        }
        std::memcpy(FBuffer.data() + FBufLen, Data, static_cast<size_t>(Count));
        FBufLen += Count;
    }
    FPosition += Count;
    FSize = std::max(FSize, FPosition);
}

void TFileStream::RawWrite(int64_t At, const char* Data, int64_t Count) {
    if (!PwriteAll(FHandle, Data, Count, At)) throw EWriteError();
}

void TFileStream::FlushWrites() {
    if (!FBufDirty) return;
    // Clear first: a failing write must not be retried from the destructor.
    FBufDirty = false;
    const int64_t Len = FBufLen;
    FBufLen = 0;
    RawWrite(FBufStart, FBuffer.data(), Len);
}

void TFileStream::Flush() { FlushWrites(); }

void TFileStream::CopyFrom(TFileStream& Source, int64_t Count, TBytesObserver* Observer) {
    if (Count <= 0) return;
    if (!FWritable) throw EWriteError();
    if (Source.FSize - Source.FPosition < Count) throw EReadError();
    // The bytes pass through our write buffer: the source has them in its read
    // buffer already (the caller has just looked at the frame), and a copy in
    // user space beats an in-kernel copy of ranges that are not page aligned.
    if (!FBufDirty) DropReadBuffer();
    while (Count > 0) {
        if (FBufDirty && (FPosition != FBufStart + FBufLen || FBufLen == BufferSize)) FlushWrites();
        if (!FBufDirty) {
            FBufStart = FPosition;
            FBufLen = 0;
            FBufDirty = true;
        }
        const int64_t N = std::min(Count, BufferSize - FBufLen);
        if (Source.Read(FBuffer.data() + FBufLen, N) != N) throw EReadError();
        if (Observer) Observer->Seen(FBuffer.data() + FBufLen, N);
        FBufLen += N;
        FPosition += N;
        Count -= N;
    }
    FSize = std::max(FSize, FPosition);
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t Base = 0;
    switch (Origin) {
    case TSeekOrigin::soBeginning: Base = 0; break;
    case TSeekOrigin::soCurrent: Base = FPosition; break;
    case TSeekOrigin::soEnd: Base = FSize; break;
    }
    const int64_t Target = Base + Offset;
    if (Target < 0) throw EStreamError("Stream seek error");
    FPosition = Target;
    return FPosition;
}
