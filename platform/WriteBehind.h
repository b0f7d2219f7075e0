// Writes to a file on a thread of their own, so that the thread that hands
// them over goes on with its work (walking the frames still to be copied)
// while the system copies the bytes into the file. A few writes wait at a
// time; the one that hands over a write waits while they are that many.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

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
    struct TJob {
        const char* Data = nullptr;
        int64_t Count = 0;
        int64_t At = 0;
    };
    void Run();
    void Nap(std::unique_lock<std::mutex>& Lock);
    static constexpr std::chrono::microseconds NapTime{50};

    const int FHandle;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::array<TJob, Depth> FJobs{};  // a ring: FCount jobs from FFirst on
    size_t FFirst = 0;
    size_t FCount = 0;
    bool FStop = false;
    int FError = 0;
    std::thread FThread;
};
