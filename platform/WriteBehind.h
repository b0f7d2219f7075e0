// Writes to a file on a thread of their own, so that the thread that hands
// them over goes on with its work (walking the frames still to be copied)
// while the system copies the bytes into the file. A few writes wait at a
// time; the one that hands over a write waits while they are that many.
//
// One thread writes behind for every file of the process, and lives as long
// as the process: a program that saves many pieces one after another would
// otherwise start and end a thread for each piece, on the path of each.
#pragma once

#include <cstddef>
#include <cstdint>

class TWriteBehind {
public:
    // Writes go to the open file Handle, which must stay open while this lives.
    explicit TWriteBehind(int Handle);
    // Waits for the writes handed over.
    ~TWriteBehind();
    TWriteBehind(const TWriteBehind&) = delete;
    TWriteBehind& operator=(const TWriteBehind&) = delete;

    // Hands over the write of Count bytes at Data to the file at At. The bytes
    // must stay as they are until Wait() has returned. Returns the error
    // number of a write that failed before (the write is then dropped), or 0.
    int Write(const char* Data, int64_t Count, int64_t At);
    // Waits until every write handed over is done; returns the error number
    // of the first that failed (the writes after it are dropped), or 0.
    int Wait();

    static constexpr size_t Depth = 2;

private:
    friend class TWriterThread;
    const int FHandle;
    size_t FPending = 0;  // writes handed over and not done; under the writer's lock
    int FError = 0;       // the first failed write's error number; under the writer's lock
};
