#include "tests/cli/CliProcess.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

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
    char Name[] = "/tmp/segmora-cli-out-XXXXXX";
    const int Fd = ::mkstemp(Name);
    if (Fd < 0) throw std::runtime_error("mkstemp failed");
    ::unlink(Name);
    return Fd;
}

}  // namespace

TCliRun RunCli(const std::vector<std::string>& Args, const std::string& Locale) {
    const int OutFd = AnonymousFile(), ErrFd = AnonymousFile();
    std::vector<std::string> Argv{SEGMORA_CLI};
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    std::vector<char*> CArgs;
    for (auto& A : Argv) CArgs.push_back(A.data());
    CArgs.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t Pid = ::fork();
    if (Pid < 0) throw std::runtime_error("fork failed");
    if (Pid == 0) {
        ::dup2(OutFd, 1);
        ::dup2(ErrFd, 2);
        ::setenv("LC_ALL", Locale.c_str(), 1);
        ::execv(CArgs[0], CArgs.data());
        ::_exit(127);
    }
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    TCliRun R;
    R.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    R.Out = ReadFd(OutFd);
    R.Err = ReadFd(ErrFd);
    ::close(OutFd);
    ::close(ErrFd);
    return R;
}
