// Buffered file stream with the semantics the engine was written against:
// 64-bit positions, short reads at the end of the file that fill what they
// can, whole reads and writes that raise, and errors that name the file and
// the system's reason. A file that fails to read, or ends before the size it
// had when it was opened, raises: it is never taken for a shorter file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

class TWriteBehind;

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file could not be opened or created; the text names the file and the system's reason.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// "Stream read error", followed by the file and the reason when the system gave one.
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
    EReadError(const std::string& FileName, const std::string& Reason)
        : EStreamError("Stream read error \"" + FileName + "\". " + Reason) {}
};

// "Stream write error", followed by the file and the reason when the system gave one.
class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
    EWriteError(const std::string& FileName, const std::string& Reason, int Error = 0)
        : EStreamError("Stream write error \"" + FileName + "\". " + Reason), FError(Error) {}
    // The system's error number, when it gave one.
    int Error() const { return FError; }

private:
    int FError = 0;
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

// Where a seek by Offset from Origin lands, for a reader at Position of
// Size bytes; raises EStreamError before the start.
int64_t SeekTarget(int64_t Offset, TSeekOrigin Origin, int64_t Position, int64_t Size);

// Identity of an open file, to tell whether two names reach the same file.
struct TFileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// Looks up the identity of a named file without opening it; false when it does not exist.
bool FileIdentityOf(const std::string& FileName, TFileIdentity& Identity);
bool FileExists(const std::string& FileName);

// The reason in an open error for a name that is no regular file (a FIFO,
// a device, a socket): such a file is never read, as it may block for ever.
extern const char* const NotARegularFile;
// The reason in a read error for a file that ends before the size it had
// when it was opened: what is left of it is not the file that was analysed.
extern const char* const ShorterThanOpened;

class TFileStream {
public:
    // Opening never blocks: a file to read must be a regular file.
    TFileStream(const std::string& FileName, TFileMode Mode);
    // Takes over Handle, open for reading and writing; errors name FileName.
    TFileStream(int Handle, const std::string& FileName);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Reads up to Count bytes; fewer at the end of the file. Raises
    // EReadError only when the file fails or ends before Size().
    int64_t Read(void* Buffer, int64_t Count);
    // Reads exactly Count bytes or raises EReadError.
    void ReadBuffer(void* Buffer, int64_t Count);
    // Writes exactly Count bytes or raises EWriteError.
    void WriteBuffer(const void* Buffer, int64_t Count);
    // Writes Count bytes at the position as WriteBuffer does, on a thread of
    // the stream's own: the call returns at once, while the system copies
    // the bytes. They must stay as they are until the stream is next used in
    // any other way, which waits for the write and raises its errors.
    void WriteBehind(const void* Buffer, int64_t Count);
    // Waits for the writes WriteBehind handed over; raises EWriteError when
    // one failed. Every other use of the stream does this first.
    void Settle() {
        if (FBehind) SettleWrites();
    }
    // Copies exactly Count bytes from Source's position to this stream's position,
    // showing them to Observer when one is given. Raises EReadError when Source
    // holds fewer bytes.
    void CopyFrom(TFileStream& Source, int64_t Count, TBytesObserver* Observer = nullptr);

    int64_t Seek(int64_t Offset, TSeekOrigin Origin);
    int64_t Position() const { return FPosition; }
    void SetPosition(int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }
    int64_t Size() const { return FSize; }

    // Asks the file system to set aside room for Count bytes behind the end of
    // the file, so that the writes that follow need not find room as they go.
    // Only a hint: nothing happens where the file system cannot. What is not
    // written by the next Flush() is given back then.
    void Reserve(int64_t Count);
    // Pushes buffered writes to the file and gives back room reserved and
    // not written; raises EWriteError on failure.
    void Flush();
    // Flush, then asks the system to put the file's data on the disk.
    void Sync();
    // Flush, then closes the file; raises EWriteError when either fails.
    void Close();
    // The first offset at or after At that may hold data other than zero
    // bytes: holes of a sparse file are skipped without reading them.
    int64_t DataFrom(int64_t At) const;
    const std::string& FileName() const { return FFileName; }
    TFileIdentity Identity() const;
    int Handle() const { return FHandle; }

    // A test's stand-in for a failing disk: called before the stream reads
    // its file at At; a non-zero result fails that read with this error
    // number. The hook may also change the file (shorten it, say).
    using TReadFault = std::function<int(const std::string& FileName, int64_t At)>;
    static void SetReadFaultForTests(TReadFault Fault);
    // What the test's hook says about a read of FileName at At: 0, or the
    // error number to fail it with. The file layer's other readers ask too.
    static int InjectedReadFault(const std::string& FileName, int64_t At);

private:
    void SettleWrites();
    bool FillFrom(int64_t At);
    int64_t ReadAt(char* Data, int64_t Count, int64_t At);
    void FlushWrites();
    void DropReadBuffer() { FBufLen = 0; }
    void RawWrite(int64_t At, const char* Data, int64_t Count);

    std::string FFileName;
    int FHandle = -1;
    bool FWritable = false;
    int64_t FPosition = 0;
    int64_t FSize = 0;

    // One buffer serves reads (bytes at FBufStart of the file) or writes
    // (bytes to go to FBufStart), never both at once. It is made when first
    // needed, and not cleared: a stream that only looks at a few bytes, or
    // only writes behind, costs no more.
    char* BufferBytes();
    std::unique_ptr<char[]> FBuffer;
    bool FFilled = false;  // the stream has read into its buffer before
    int64_t FBufStart = 0;
    int64_t FBufLen = 0;
    bool FBufDirty = false;
    bool FReserved = false;                 // room behind the end of the file may be set aside
    std::unique_ptr<TWriteBehind> FBehind;  // made at the first WriteBehind
};
