// Reading a file through a read-only map of it: a walk over a file's frames
// reads their headers where they lie, and a copy writes long runs of bytes to
// its target straight from the map, with no copy in between.
//
// A map has a danger a read has not: a page of a file that another program
// shortens meanwhile is gone, and touching it raises SIGBUS, which would end
// the process. Every read of the map therefore happens inside Guarded(), which
// turns such a fault into the EReadError a read of the file would raise. The
// bytes are loaded a window at a time before they are read, so that a failing
// disk or a shortened file is mostly found there, and windows far behind the
// reader are let go, so that the memory a walk holds stays small whatever the
// size of the file.
//
// Where the file cannot be mapped, every read goes through the stream the map
// was made for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileStream.h"

class TMappedFile {
public:
    // Maps the bytes File had when it was opened (File.Size()). File must
    // stay open while the map lives. Map false reads through File instead,
    // as where the file cannot be mapped (for tests).
    explicit TMappedFile(TFileStream& File, bool Map = true);
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    // False when the file is read through its stream instead.
    bool Mapped() const { return FData != nullptr; }
    const std::string& FileName() const { return FFile.FileName(); }
    int64_t Size() const { return FSize; }
    int64_t Position() const { return FPosition; }
    void SetPosition(int64_t Value) {
        if (Value < 0) throw EStreamError("Stream seek error");
        FPosition = Value;
    }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin);

    // As TFileStream::Read: up to Count bytes from the position, fewer at the
    // end of the file; EReadError when the file fails or has been shortened.
    int64_t Read(void* Buffer, int64_t Count) {
        if (const char* Here = Peek(Count)) {
            std::memcpy(Buffer, Here, static_cast<size_t>(Count));
            FPosition += Count;
            return Count;
        }
        return ReadLoading(Buffer, Count);
    }
    // The Count bytes at the position where they lie in the map, when they
    // are loaded already; nullptr otherwise (Read loads them). The position
    // is kept.
    const char* Peek(int64_t Count) {
        if (Count <= 0 || FPosition < FLoadedFrom || FPosition + Count > FLoadedTo) return nullptr;
        FetchAhead();
        return FData + FPosition;
    }

    // Writes Count bytes of the file from At on into Target at its position,
    // showing them to Observer (when given) just before, in pieces of up to
    // CopyPiece bytes. EReadError when the file holds fewer; the position is
    // kept. Large pieces are written behind (TFileStream::WriteBehind) and
    // may still be under way when this returns: the Guarded() call it is
    // made in waits for them before it returns.
    void CopyTo(TFileStream& Target, int64_t At, int64_t Count, TBytesObserver* Observer = nullptr);

    // Shows Observer the file's bytes [At, At + Count), in pieces, where they
    // lie in the map: just after a walk has passed them, they are still in
    // the processor's cache. EReadError when the file holds fewer.
    void Show(int64_t At, int64_t Count, TBytesObserver& Observer);

    // Runs Work; a fault in reading this map while it runs ends it with the
    // EReadError of a shortened or failing file (so does a write from the map
    // that the system failed for want of its bytes). The jump out of the fault
    // passes over the frames between Work and the read without unwinding
    // them: while a read of the map may fault, nothing in them may own
    // anything (memory, a lock) that needs to be given back.
    template <class F>
    void Guarded(F&& Work) {
        GuardedCall([](void* W) { (*static_cast<F*>(W))(); }, &Work);
    }

    static constexpr int64_t Window = 256 * 1024;  // what is loaded at a time
    static constexpr int64_t Kept = 16 * Window;   // how much at least stays loaded behind the reader
    static constexpr int64_t CopyPiece = 1024 * 1024;

private:
    // A reader that walks forward with small reads (a frame's header, then
    // the next one's) would wait for memory at every one of them: the lines
    // ahead of it are fetched while it works on these. The copy that
    // follows the walk then finds its bytes in the cache too.
    void FetchAhead() {
        if (FFetchedTo < FPosition) FFetchedTo = FPosition & ~(CacheLine - 1);
        if (FFetchedTo >= std::min(FPosition + FetchDistance, FLoadedTo - FetchStep)) return;
        for (int64_t Line = 0; Line < FetchStep; Line += CacheLine) __builtin_prefetch(FData + FFetchedTo + Line);
        FFetchedTo += FetchStep;
    }
    static constexpr int64_t CacheLine = 64;
    static constexpr int64_t FetchStep = 8 * CacheLine;  // more than a frame's bytes, mostly
    static constexpr int64_t FetchDistance = 8192;

    int64_t ReadLoading(void* Buffer, int64_t Count);
    void SettleWrites(bool Raise);
    void Load(int64_t At, int64_t Count);
    void LoadWindow(int64_t At, int64_t Count);
    void LetGo(int64_t From, int64_t To);
    [[noreturn]] void RaiseFault(int Error = 0) const;
    void GuardedCall(void (*Work)(void*), void* Context);

    TFileStream& FFile;
    int64_t FSize = 0;
    const char* FData = nullptr;
    int64_t FPosition = 0;
    // The bytes [FLoadedFrom, FLoadedTo) are loaded and may be read. Nothing
    // is while the file is read through its stream.
    int64_t FLoadedFrom = 0;
    int64_t FLoadedTo = 0;
    int64_t FFetchedTo = 0;             // the lines before it have been fetched
    bool FPopulate = true;              // the system loads ranges on request
    TFileStream* FWritingTo = nullptr;  // has writes from the map under way
    std::vector<char> FShown;           // what Show() read where nothing is mapped
};
