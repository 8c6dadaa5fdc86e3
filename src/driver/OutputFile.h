// The output file, appended to all or not at all: it remembers whether the
// run created it and how long it was, so a failed run can put it back.
#pragma once

#include <sys/types.h>

#include <string>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens sPath for writing without truncating it, creating it with owner
    // read and write permission when missing. On failure returns false with
    // sError set to the system's reason.
    bool bOpen(const std::string& sPath, std::string& sError);

    int nFile() const { return m_nFile; }

    // Puts the file back as it was before bOpen: truncated to its old length,
    // or removed when this run created it. Also runs on SIGINT, SIGTERM,
    // SIGHUP and SIGBUS (the mapped input shrank) while the file is open, so
    // an interrupted run leaves no part-file.
    void vRestore();

    // Closes the file and keeps its new content. When the close reports a
    // failure (the data may not have arrived) the file is put back as by
    // vRestore and the result is false with sError set.
    bool bClose(std::string& sError);

private:
    int m_nFile = -1;
    bool m_bCreated = false;
    off_t m_nOldLength = 0;
    std::string m_sPath;
};
