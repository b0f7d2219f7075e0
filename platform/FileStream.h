// Buffered file stream with the semantics the engine was written against:
// 64-bit positions, short reads that fill what they can, whole reads and
// writes that raise, and open errors that name the file and the reason.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file could not be opened or created; the text names the file and the system's reason.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
};

class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
};

// Shown the bytes a copy moves, in order, as they pass.
class TBytesObserver {
public:
    virtual void Seen(const char* Data, int64_t Count) = 0;

protected:
    ~TBytesObserver() = default;
};

enum class TFileMode {
    fmOpenRead,       // existing file, read only
    fmCreate,         // create or truncate, read and write
    fmOpenReadWrite,  // existing file, read and write, kept as it is
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Identity of an open file, to tell whether two names reach the same file.
struct TFileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// Looks up the identity of a named file without opening it; false when it does not exist.
bool FileIdentityOf(const std::string& FileName, TFileIdentity& Identity);
bool FileExists(const std::string& FileName);

class TFileStream {
public:
    TFileStream(const std::string& FileName, TFileMode Mode);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Reads up to Count bytes; fewer at the end of the file. Never raises.
    int64_t Read(void* Buffer, int64_t Count);
    // Reads exactly Count bytes or raises EReadError.
    void ReadBuffer(void* Buffer, int64_t Count);
    // Writes exactly Count bytes or raises EWriteError.
    void WriteBuffer(const void* Buffer, int64_t Count);
    // Copies exactly Count bytes from Source's position to this stream's position,
    // showing them to Observer when one is given. Raises EReadError when Source
    // holds fewer bytes.
    void CopyFrom(TFileStream& Source, int64_t Count, TBytesObserver* Observer = nullptr);

    int64_t Seek(int64_t Offset, TSeekOrigin Origin);
    int64_t Position() const { return FPosition; }
    void SetPosition(int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }
    int64_t Size() const { return FSize; }

    // Pushes buffered writes to the file; raises EWriteError on failure.
    void Flush();
    const std::string& FileName() const { return FFileName; }
    TFileIdentity Identity() const;

private:
    bool FillFrom(int64_t At);
    void FlushWrites();
    void DropReadBuffer() { FBufLen = 0; }
    void RawWrite(int64_t At, const char* Data, int64_t Count);

    std::string FFileName;
    int FHandle = -1;
    bool FWritable = false;
    int64_t FPosition = 0;
    int64_t FSize = 0;

    // One buffer serves reads (bytes at FBufStart of the file) or writes
    // (bytes to go to FBufStart), never both at once.
    std::vector<char> FBuffer;
    int64_t FBufStart = 0;
    int64_t FBufLen = 0;
    bool FBufDirty = false;
};
