// Threads a file operation starts to help itself along (writing behind,
// loading ahead). The program's signals are for the threads it made itself:
// a helper blocks them all, so that an interrupt still reaches the thread
// that handles it, and a write past the file size limit fails with EFBIG
// (as a program that ignores SIGXFSZ asks for) instead of raising a signal.
#pragma once

#include <csignal>
#include <pthread.h>
#include <thread>
#include <utility>

template <class F>
std::thread StartHelperThread(F&& Run) {
    sigset_t All, Was;
    sigfillset(&All);
    pthread_sigmask(SIG_SETMASK, &All, &Was);
    std::thread Helper(std::forward<F>(Run));
    pthread_sigmask(SIG_SETMASK, &Was, nullptr);
    return Helper;
}
