// Child-process runner for tests that exercise the built programs.
#include "support/Process.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

// Reads both pipes to their end without letting either fill up.
void vDrain(int nOut, int nErr, std::string& sOut, std::string& sErr) {
    pollfd aFds[2] = {{nOut, POLLIN, 0}, {nErr, POLLIN, 0}};
    std::string* apTarget[2] = {&sOut, &sErr};
    int nOpen = 2;
    char acBuf[65536];
    while (nOpen > 0) {
        if (poll(aFds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (aFds[i].fd < 0 || aFds[i].revents == 0) continue;
            ssize_t n = read(aFds[i].fd, acBuf, sizeof acBuf);
            if (n > 0) {
                apTarget[i]->append(acBuf, static_cast<size_t>(n));
            } else {
                close(aFds[i].fd);
                aFds[i].fd = -1;
                --nOpen;
            }
        }
    }
}

// In a child: runs the tessal program built beside the tests with asArgs,
// or ends with status 127.
[[noreturn]] void vExecTessal(const std::vector<std::string>& asArgs) {
    std::vector<char*> apArgv{const_cast<char*>(TESSAL_PROGRAM)};
    for (const std::string& s : asArgs) apArgv.push_back(const_cast<char*>(s.c_str()));
    apArgv.push_back(nullptr);
    execv(TESSAL_PROGRAM, apArgv.data());
    _exit(127);
}

}  // namespace

ProcessResult tRunProcess(const std::string& sProgram, const std::vector<std::string>& asArgs,
                          const std::string& sWorkDir, const std::function<void()>& fnInChild) {
    ProcessResult tResult;
    int anOut[2], anErr[2];
    if (pipe(anOut) != 0 || pipe(anErr) != 0) return tResult;
    pid_t nPid = fork();
    if (nPid == 0) {
        dup2(anOut[1], 1);
        dup2(anErr[1], 2);
        close(anOut[0]);
        close(anOut[1]);
        close(anErr[0]);
        close(anErr[1]);
        int nNull = open("/dev/null", O_RDONLY);
        if (nNull >= 0) dup2(nNull, 0);
        // The program gets descriptors 0 to 2 only, whatever this process
        // (or the one that started it) holds open.
        for (int n = 3; n < 1024; ++n) close(n);
        if (!sWorkDir.empty() && chdir(sWorkDir.c_str()) != 0) _exit(126);
        if (fnInChild) fnInChild();
        std::vector<char*> apArgv;
        apArgv.push_back(const_cast<char*>(sProgram.c_str()));
        for (const std::string& s : asArgs) apArgv.push_back(const_cast<char*>(s.c_str()));
        apArgv.push_back(nullptr);
        execv(sProgram.c_str(), apArgv.data());
        _exit(127);
    }
    close(anOut[1]);
    close(anErr[1]);
    vDrain(anOut[0], anErr[0], tResult.sStdout, tResult.sStderr);
    int nStatus = 0;
    struct rusage tUsage {};
    wait4(nPid, &nStatus, 0, &tUsage);
    tResult.nPeakRssBytes = static_cast<long long>(tUsage.ru_maxrss) * 1024;  // reported in KiB
    if (WIFEXITED(nStatus)) tResult.nExitStatus = WEXITSTATUS(nStatus);
    if (WIFSIGNALED(nStatus)) tResult.nSignal = WTERMSIG(nStatus);
    return tResult;
}

ProcessResult tRunTessal(const std::vector<std::string>& asArgs, const std::string& sWorkDir,
                         const std::function<void()>& fnInChild) {
    return tRunProcess(TESSAL_PROGRAM, asArgs, sWorkDir, fnInChild);
}

BackgroundRun tStartTessal(const std::vector<std::string>& asArgs, const std::string& sWorkDir,
                           const std::string& sStderrFile, const std::function<void()>& fnInChild) {
    BackgroundRun tRun;
    int anPipe[2];
    if (pipe(anPipe) != 0) return tRun;
    tRun.nPid = fork();
    if (tRun.nPid == 0) {
        dup2(anPipe[1], 1);
        close(anPipe[0]);
        close(anPipe[1]);
        const int nErr = open(sStderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (nErr >= 0) dup2(nErr, 2);
        if (chdir(sWorkDir.c_str()) != 0) _exit(126);
        if (fnInChild) fnInChild();
        vExecTessal(asArgs);
    }
    close(anPipe[1]);
    tRun.nConsole = anPipe[0];
    return tRun;
}

ProcessResult tFinish(BackgroundRun& tRun) {
    ProcessResult tResult;
    if (tRun.nConsole >= 0) close(tRun.nConsole);
    tRun.nConsole = -1;
    int nStatus = 0;
    if (tRun.nPid > 0 && waitpid(tRun.nPid, &nStatus, 0) == tRun.nPid) {
        if (WIFEXITED(nStatus)) tResult.nExitStatus = WEXITSTATUS(nStatus);
        if (WIFSIGNALED(nStatus)) tResult.nSignal = WTERMSIG(nStatus);
    }
    tRun.nPid = -1;
    return tResult;
}

ProcessResult tRunTessalOnTerminal(const std::vector<std::string>& asArgs,
                                   const std::string& sWorkDir, unsigned short nColumns,
                                   const std::function<void()>& fnInChild,
                                   const std::function<void(pid_t, const std::string&)>& fnOnText) {
    ProcessResult tResult;
    struct winsize tSize {};
    tSize.ws_row = 24;
    tSize.ws_col = nColumns;
    int nTerminal = -1;
    const pid_t nPid = forkpty(&nTerminal, nullptr, nullptr, &tSize);
    if (nPid < 0) return tResult;
    if (nPid == 0) {
        if (!sWorkDir.empty() && chdir(sWorkDir.c_str()) != 0) _exit(126);
        if (fnInChild) fnInChild();
        vExecTessal(asArgs);
    }
    // The terminal reads EIO once the program and its children closed it.
    char acBuf[65536];
    for (;;) {
        const ssize_t n = read(nTerminal, acBuf, sizeof acBuf);
        if (n > 0) {
            tResult.sStdout.append(acBuf, static_cast<size_t>(n));
            if (fnOnText) fnOnText(nPid, tResult.sStdout);
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    close(nTerminal);
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    if (WIFEXITED(nStatus)) tResult.nExitStatus = WEXITSTATUS(nStatus);
    if (WIFSIGNALED(nStatus)) tResult.nSignal = WTERMSIG(nStatus);
    return tResult;
}

void vFailSystemCall(long nSyscall, int nErrno, int nOnDescriptor) {
    // With nOnDescriptor, the call's first argument (a descriptor, its low
    // word on a little-endian machine) must be it too.
    const uint32_t nFail = SECCOMP_RET_ERRNO | (static_cast<uint32_t>(nErrno) & 0xFFFF);
    const bool bAny = nOnDescriptor < 0;
    sock_filter atFilter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(nSyscall), 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(nOnDescriptor), 0,
                 static_cast<uint8_t>(bAny ? 0 : 1)),
        BPF_STMT(BPF_RET | BPF_K, nFail),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog tProgram = {static_cast<unsigned short>(std::size(atFilter)), atFilter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &tProgram) != 0)
        _exit(125);
}
