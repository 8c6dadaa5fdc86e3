// Checked console. stdout becomes a custom stream (fopencookie) whose write
// function goes to descriptor 1 and remembers the first failure; the
// progress lines printed anywhere in the program go through it unchanged.
#include "driver/process/Console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

int g_nFirstError = 0;   // errno of the first failed console write, 0 if none
bool g_bSilent = false;  // the text is dropped unwritten

// Writes the whole of (p, n) to descriptor 1. After a failure the text is
// dropped (reported as written), so the stream never stalls the run.
ssize_t nWriteConsole(void*, const char* p, size_t n) {
    if (g_bSilent) return static_cast<ssize_t>(n);
    size_t nDone = 0;
    while (g_nFirstError == 0 && nDone < n) {
        const ssize_t k = write(1, p + nDone, n - nDone);
        if (k > 0) {
            nDone += static_cast<size_t>(k);
        } else if (k < 0 && errno == EINTR) {
            continue;
        } else {
            g_nFirstError = k < 0 ? errno : EIO;
        }
    }
    return static_cast<ssize_t>(n);
}

}  // namespace

void vSecureStandardDescriptors() {
    for (int nFile = 0; nFile <= 2; ++nFile) {
        if (fcntl(nFile, F_GETFD) >= 0 || errno != EBADF) continue;
        // open() takes the lowest free number: this one.
        const int nNull = open("/dev/null", O_RDWR);
        if (nNull >= 0 && nNull != nFile) close(nNull);
    }
}

void vUseCheckedConsole() {
    static char acBuffer[1 << 16];
    cookie_io_functions_t tFunctions{};
    tFunctions.write = nWriteConsole;
    FILE* pConsole = fopencookie(nullptr, "w", tFunctions);
    if (pConsole == nullptr) return;  // keep the plain stdout
    std::setvbuf(pConsole, acBuffer, _IOFBF, sizeof acBuffer);
    stdout = pConsole;
}

void vSilenceConsole() {
    g_bSilent = true;
}

int nConsoleError() {
    std::fflush(stdout);
    return g_nFirstError == EPIPE ? 0 : g_nFirstError;
}
