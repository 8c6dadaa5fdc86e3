// Test helper: runs a program as a child process and captures its standard
// output, standard error, exit status and peak memory.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    std::string sStdout;
    std::string sStderr;
    int nExitStatus = -1;  // 0..255 when the child exited, -1 otherwise
    int nSignal = 0;       // the signal that ended the child, if any
    // Peak resident set size of the child in bytes. Linux carries the peak
    // of the forked image (this test process's pages) across exec, so it is
    // at least the parent's resident size at the fork.
    long long nPeakRssBytes = 0;
};

// Runs sProgram with asArgs (argv[1]...), in sWorkDir when not empty.
// fnInChild, when given, runs in the child before exec (to set limits).
ProcessResult tRunProcess(const std::string& sProgram, const std::vector<std::string>& asArgs,
                          const std::string& sWorkDir = "",
                          const std::function<void()>& fnInChild = nullptr);

// Runs the tessal program built beside the tests.
ProcessResult tRunTessal(const std::vector<std::string>& asArgs, const std::string& sWorkDir = "",
                         const std::function<void()>& fnInChild = nullptr);

// A tessal run in the background whose standard output is a pipe the test
// holds (nConsole, its read end): a test that does not read it blocks the
// run once the pipe is full; one that closes it breaks the pipe. Standard
// error goes to the file sStderrFile.
struct BackgroundRun {
    pid_t nPid = -1;
    int nConsole = -1;
};
BackgroundRun tStartTessal(const std::vector<std::string>& asArgs, const std::string& sWorkDir,
                           const std::string& sStderrFile,
                           const std::function<void()>& fnInChild = nullptr);

// Waits for the run to end (closing its console pipe if still open) and
// returns its exit status and signal; the output fields stay empty.
ProcessResult tFinish(BackgroundRun& tRun);

// Runs the tessal program built beside the tests with its standard input,
// output and error on a new pseudo-terminal nColumns wide (fnInChild may
// send some of them elsewhere). sStdout is everything the terminal
// received, as a terminal gets it ("\n" written as "\r\n").
// fnOnText, when given, sees the program's id and what the terminal
// received so far after each read.
ProcessResult tRunTessalOnTerminal(
    const std::vector<std::string>& asArgs, const std::string& sWorkDir, unsigned short nColumns,
    const std::function<void()>& fnInChild = nullptr,
    const std::function<void(pid_t, const std::string&)>& fnOnText = nullptr);

// For fnInChild: from now on the system call nSyscall fails with nErrno in
// this process and the program it executes (a seccomp filter), to stand in
// for a system that lacks the call's service; with nOnDescriptor, only
// calls on that descriptor fail.
void vFailSystemCall(long nSyscall, int nErrno, int nOnDescriptor = -1);
