#include "platform/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "platform/WriteBehind.h"

namespace {

// Big enough that a walk over ~400-byte frames costs one system call per
// hundreds of frames; small enough to stay in the CPU caches.
constexpr int64_t BufferSize = 256 * 1024;
constexpr int64_t FirstFill = 16 * 1024;

// strerror's text without its buffer, which threads would share.
std::string SystemReason(int Error) { return std::generic_category().message(Error); }

TFileStream::TReadFault& ReadFault() {
    static TFileStream::TReadFault Fault;
    return Fault;
}

// What pread gave until the end of the file; -1 (errno set) when it failed.
int64_t PreadAll(int Fd, char* Data, int64_t Count, int64_t At) {
    int64_t Done = 0;
    while (Done < Count) {
        ssize_t N = ::pread(Fd, Data + Done, static_cast<size_t>(Count - Done), At + Done);
        if (N < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (N == 0) break;
        Done += N;
    }
    return Done;
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

const char* const NotARegularFile = "Not a regular file";
const char* const ShorterThanOpened = "The file is shorter than when it was opened";

void TFileStream::SetReadFaultForTests(TReadFault Fault) { ReadFault() = std::move(Fault); }

int TFileStream::InjectedReadFault(const std::string& FileName, int64_t At) {
    const TReadFault& Fault = ReadFault();
    return Fault ? Fault(FileName, At) : 0;
}

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
    : FFileName(FileName), FWritable(Mode != TFileMode::fmOpenRead) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    int Flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (Mode == TFileMode::fmCreate) Flags = O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK;
    if (Mode == TFileMode::fmOpenReadWrite) Flags = O_RDWR | O_CLOEXEC | O_NONBLOCK;
    const char* Verb = Mode == TFileMode::fmCreate ? "Cannot create file" : "Cannot open file";
    FHandle = ::open(FileName.c_str(), Flags, 0666);
    if (FHandle < 0) throw EFOpenError(std::string(Verb) + " \"" + FileName + "\". " + SystemReason(errno));
    auto Refuse = [&](const std::string& Reason) {
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError(std::string(Verb) + " \"" + FileName + "\". " + Reason);
    };
    struct stat St {};
    if (::fstat(FHandle, &St) != 0) Refuse(SystemReason(errno));
    if (S_ISDIR(St.st_mode)) Refuse(SystemReason(EISDIR));
    // The file to read must not be a pipe, a device or a socket. Files
    // written are regular files the save made (a device such as /dev/full
    // still takes a write, and a test of write errors relies on it).
    if (Mode == TFileMode::fmOpenRead && !S_ISREG(St.st_mode)) Refuse(NotARegularFile);
    ::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
    FSize = St.st_size;
}

TFileStream::TFileStream(int Handle, const std::string& FileName)
    : FFileName(FileName), FHandle(Handle), FWritable(true) {
    struct stat St {};
    if (::fstat(FHandle, &St) != 0) {
        const int Error = errno;
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError("Cannot create file \"" + FileName + "\". " + SystemReason(Error));
    }
    FSize = St.st_size;
}

TFileStream::~TFileStream() {
    try {
        Flush();
    } catch (const EStreamError&) {
        // A destructor cannot report; callers that care call Close() first.
    }
    if (FHandle >= 0) ::close(FHandle);
}

void TFileStream::Sync() {
    Flush();
    if (::fsync(FHandle) != 0) throw EWriteError(FFileName, SystemReason(errno));
}

void TFileStream::Close() {
    if (FHandle < 0) return;
    Flush();
    const int Handle = FHandle;
    FHandle = -1;
    // Some file systems (NFS, FUSE) report a failed write-back only here.
    if (::close(Handle) != 0 && errno != EINTR) throw EWriteError(FFileName, SystemReason(errno));
}

int64_t TFileStream::DataFrom(int64_t At) const {
    const off_t Data = ::lseek(FHandle, At, SEEK_DATA);
    if (Data >= 0) return std::max<int64_t>(Data, At);
    // No data after At: the rest of the file is a hole. Any other error
    // (a file system without holes) means every byte must be read.
    return errno == ENXIO ? std::max(At, FSize) : At;
}

TFileIdentity TFileStream::Identity() const {
    struct stat St {};
    if (::fstat(FHandle, &St) != 0) return {};
    return {St.st_dev, St.st_ino};
}

int64_t TFileStream::ReadAt(char* Data, int64_t Count, int64_t At) {
    if (const int Error = InjectedReadFault(FFileName, At)) throw EReadError(FFileName, SystemReason(Error));
    const int64_t N = PreadAll(FHandle, Data, Count, At);
    if (N < 0) throw EReadError(FFileName, SystemReason(errno));
    // The size seen at the open is what the caller walks by: a file that
    // ends before it has been shortened meanwhile.
    if (N < Count && At + N < FSize) throw EReadError(FFileName, ShorterThanOpened);
    return N;
}

char* TFileStream::BufferBytes() {
    if (!FBuffer) FBuffer = std::make_unique_for_overwrite<char[]>(size_t(BufferSize));
    return FBuffer.get();
}

bool TFileStream::FillFrom(int64_t At) {
    FBufStart = At;
    FBufLen = 0;
    if (At >= FSize) return false;
    // The first read of a file mostly looks at a header or two.
    const int64_t Fill = FFilled ? BufferSize : FirstFill;
    FFilled = true;
    FBufLen = ReadAt(BufferBytes(), std::min(Fill, FSize - At), At);
    return FBufLen > 0;
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    Settle();
    if (FBufDirty) FlushWrites();
    char* Out = static_cast<char*>(Buffer);
    int64_t Done = 0;
    while (Done < Count && FPosition < FSize) {
        const int64_t Want = Count - Done;
        if (FPosition >= FBufStart && FPosition < FBufStart + FBufLen) {
            const int64_t N = std::min(Want, FBufStart + FBufLen - FPosition);
            std::memcpy(Out + Done, BufferBytes() + (FPosition - FBufStart), static_cast<size_t>(N));
            Done += N;
            FPosition += N;
        } else if (Want >= BufferSize) {
            const int64_t N = ReadAt(Out + Done, std::min(Want, FSize - FPosition), FPosition);
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
    Settle();
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
        std::memcpy(BufferBytes() + FBufLen, Data, static_cast<size_t>(Count));
        FBufLen += Count;
    }
    FPosition += Count;
    FSize = std::max(FSize, FPosition);
}

void TFileStream::RawWrite(int64_t At, const char* Data, int64_t Count) {
    if (PwriteAll(FHandle, Data, Count, At)) return;
    const int Error = errno;
    throw EWriteError(FFileName, SystemReason(Error), Error);
}

void TFileStream::FlushWrites() {
    if (!FBufDirty) return;
    // Clear first: a failing write must not be retried from the destructor.
    FBufDirty = false;
    const int64_t Len = FBufLen;
    FBufLen = 0;
    RawWrite(FBufStart, BufferBytes(), Len);
}

void TFileStream::Reserve(int64_t Count) {
    if (Count <= 0 || !FWritable || FHandle < 0) return;
    Settle();
    // Room behind the end, not counted in the file's size: a file read or
    // linked before the next Flush() is the size its writes made it.
    if (::fallocate(FHandle, FALLOC_FL_KEEP_SIZE, FSize, Count) == 0) FReserved = true;
}

void TFileStream::Flush() {
    Settle();
    FlushWrites();
    if (!FReserved) return;
    FReserved = false;
    // Cutting the file at its own size gives back the blocks behind its end.
    if (::ftruncate(FHandle, FSize) != 0) throw EWriteError(FFileName, SystemReason(errno));
}

void TFileStream::WriteBehind(const void* Buffer, int64_t Count) {
    if (Count <= 0) return;
    if (!FWritable) throw EWriteError();
    // The bytes waiting in the buffer go first; a buffer of bytes read may
    // hold what the write changes.
    FlushWrites();
    DropReadBuffer();
    if (!FBehind) FBehind = std::make_unique<TWriteBehind>(FHandle);
    if (const int Error = FBehind->Write(static_cast<const char*>(Buffer), Count, FPosition)) {
        FBehind->Wait();
        throw EWriteError(FFileName, SystemReason(Error), Error);
    }
    FPosition += Count;
    FSize = std::max(FSize, FPosition);
}

void TFileStream::SettleWrites() {
    if (const int Error = FBehind->Wait()) throw EWriteError(FFileName, SystemReason(Error), Error);
}

void TFileStream::CopyFrom(TFileStream& Source, int64_t Count, TBytesObserver* Observer) {
    if (Count <= 0) return;
    if (!FWritable) throw EWriteError();
    Settle();
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
        if (Source.Read(BufferBytes() + FBufLen, N) != N) throw EReadError();
        if (Observer) Observer->Seen(BufferBytes() + FBufLen, N);
        FBufLen += N;
        FPosition += N;
        Count -= N;
    }
    FSize = std::max(FSize, FPosition);
}

int64_t SeekTarget(int64_t Offset, TSeekOrigin Origin, int64_t Position, int64_t Size) {
    int64_t Base = 0;
    switch (Origin) {
    case TSeekOrigin::soBeginning: Base = 0; break;
    case TSeekOrigin::soCurrent: Base = Position; break;
    case TSeekOrigin::soEnd: Base = Size; break;
    }
    if (Base + Offset < 0) throw EStreamError("Stream seek error");
    return Base + Offset;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    FPosition = SeekTarget(Offset, Origin, FPosition, FSize);
    return FPosition;
}
