#include "tests/support/ProcessRun.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace TestProcess {

namespace {

std::string ReadFd(int Fd) {
    std::string S;
    char Buf[4096];
    ::lseek(Fd, 0, SEEK_SET);
    for (;;) {
        const ssize_t N = ::read(Fd, Buf, sizeof Buf);
        if (N <= 0) break;
        S.append(Buf, size_t(N));
    }
    return S;
}

// An unlinked temporary file: the child writes into it, we read it back.
int AnonymousFile() {
    char Name[] = "/tmp/segmora-test-out-XXXXXX";
    const int Fd = ::mkstemp(Name);
    if (Fd < 0) throw std::runtime_error("mkstemp failed");
    ::unlink(Name);
    return Fd;
}

}  // namespace

TRun Run(const std::string& Program, const std::vector<std::string>& Args, const TRunOptions& Options) {
    const int OutFd = AnonymousFile(), ErrFd = AnonymousFile();
    // Everything the child needs is made before the fork.
    std::vector<std::string> Argv{Program};
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    std::vector<char*> CArgs;
    for (auto& A : Argv) CArgs.push_back(A.data());
    CArgs.push_back(nullptr);

    int StdoutFd = OutFd;
    if (!Options.StdoutFile.empty()) {
        StdoutFd = ::open(Options.StdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (StdoutFd < 0) throw std::runtime_error("cannot open " + Options.StdoutFile);
    } else if (Options.StdoutClosedPipe) {
        int Pipe[2];
        if (::pipe2(Pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        ::close(Pipe[0]);
        StdoutFd = Pipe[1];
    }

    std::fflush(nullptr);
    const pid_t Pid = ::fork();
    if (Pid < 0) throw std::runtime_error("fork failed");
    if (Pid == 0) {
        ::dup2(StdoutFd, 1);
        ::dup2(ErrFd, 2);
        if (Options.FileSizeLimit > 0) {
            const struct rlimit Limit = {rlim_t(Options.FileSizeLimit), rlim_t(Options.FileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &Limit);
        }
        if (!Options.Locale.empty()) ::setenv("LC_ALL", Options.Locale.c_str(), 1);
        ::execv(CArgs[0], CArgs.data());
        ::_exit(127);
    }
    if (StdoutFd != OutFd) ::close(StdoutFd);
    if (Options.WhileRunning) Options.WhileRunning(Pid);
    if (Options.InterruptAfter.count() > 0) {
        std::this_thread::sleep_for(Options.InterruptAfter);
        ::kill(Pid, SIGINT);
    }
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    TRun R;
    R.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    R.Out = ReadFd(OutFd);
    R.Err = ReadFd(ErrFd);
    ::close(OutFd);
    ::close(ErrFd);
    return R;
}

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> L;
    size_t At = 0;
    while (At < Text.size()) {
        const size_t End = Text.find('\n', At);
        L.push_back(Text.substr(At, End == std::string::npos ? std::string::npos : End - At));
        if (End == std::string::npos) break;
        At = End + 1;
    }
    return L;
}

}  // namespace TestProcess
