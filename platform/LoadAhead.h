// Loads a map's windows ahead of its reader on a thread of its own, so that
// the reader finds the pages of the bytes it comes to in place and goes on
// reading while the system puts the next ones in place. Only a help: the
// reader loads a window it finds not loaded itself, and meets its errors
// there.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class TLoadAhead {
public:
    // Data is a map of Size bytes, loaded Window bytes at a time (a multiple
    // of the page size); it must stay mapped while this lives.
    TLoadAhead(const char* Data, int64_t Size, int64_t Window);
    // Stops after the window being loaded.
    ~TLoadAhead();
    TLoadAhead(const TLoadAhead&) = delete;
    TLoadAhead& operator=(const TLoadAhead&) = delete;

    // Asks for the windows from From (a window's start) to To to be loaded,
    // in order, in place of what was asked before.
    void Ask(int64_t From, int64_t To);
    // Whether the bytes [From, To) have been loaded since they were asked for.
    bool Loaded(int64_t From, int64_t To);

private:
    void Run();

    const char* const FData;
    const int64_t FSize;
    const int64_t FWindow;
    std::mutex FLock;
    std::condition_variable FChanged;
    // [FStart, FDone) is loaded; FDone is loaded next, up to FTo.
    int64_t FStart = 0, FDone = 0, FTo = 0;
    bool FStop = false;
    std::thread FThread;
};
