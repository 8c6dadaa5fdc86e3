// Test helper: runs a program as a child process and captures its standard
// output, standard error and exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    std::string sStdout;
    std::string sStderr;
    int nExitStatus = -1;  // 0..255 when the child exited, -1 otherwise
    int nSignal = 0;       // the signal that ended the child, if any
};

// Runs sProgram with asArgs (argv[1]...), in sWorkDir when not empty.
// fnInChild, when given, runs in the child before exec (to set limits).
ProcessResult tRunProcess(const std::string& sProgram, const std::vector<std::string>& asArgs,
                          const std::string& sWorkDir = "",
                          const std::function<void()>& fnInChild = nullptr);

// Runs the tessal program built beside the tests.
ProcessResult tRunTessal(const std::vector<std::string>& asArgs, const std::string& sWorkDir = "",
                         const std::function<void()>& fnInChild = nullptr);
