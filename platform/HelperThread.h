// Threads a file operation starts to help itself along (writing behind,
// loading ahead). The program's signals are for the threads it made itself:
// a helper blocks them all, so that an interrupt still reaches the thread
// that handles it, and a write past the file size limit fails with EFBIG
// (as a program that ignores SIGXFSZ asks for) instead of raising a signal.
#pragma once

#include <csignal>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <utility>

// Keeps Helper off the processor the calling thread runs on, where there are
// others: the system does not always move one of two busy threads of a
// process to an idle processor (it keeps a thread where its cache is warm),
// and a helper that takes turns with its caller helps nothing.
inline void KeepOffThisProcessor(std::thread& Helper) {
    // The caller's own processors are the choice: the helper may have been
    // kept off another one before.
    cpu_set_t Allowed;
    if (pthread_getaffinity_np(pthread_self(), sizeof Allowed, &Allowed) != 0) return;
    const int Here = sched_getcpu();
    if (Here < 0 || !CPU_ISSET(Here, &Allowed) || CPU_COUNT(&Allowed) < 2) return;
    CPU_CLR(Here, &Allowed);
    pthread_setaffinity_np(Helper.native_handle(), sizeof Allowed, &Allowed);
}

template <class F>
std::thread StartHelperThread(F&& Run) {
    sigset_t All, Was;
    sigfillset(&All);
    pthread_sigmask(SIG_SETMASK, &All, &Was);
    std::thread Helper(std::forward<F>(Run));
    pthread_sigmask(SIG_SETMASK, &Was, nullptr);
    return Helper;
}
