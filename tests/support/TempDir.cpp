// Temporary directories and file helpers for tests.
#include "support/TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    std::filesystem::create_directories(TESSAL_TEST_TMP);
    std::string sTemplate = std::string(TESSAL_TEST_TMP) + "/t-XXXXXX";
    if (mkdtemp(sTemplate.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_sPath = sTemplate;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_sPath, ec);
}

std::string sReadFile(const std::string& sPath) {
    std::ifstream in(sPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool bFileExists(const std::string& sPath) {
    struct stat st;
    return stat(sPath.c_str(), &st) == 0;
}

void vWriteFile(const std::string& sPath, const std::string& sContent) {
    std::ofstream out(sPath, std::ios::binary | std::ios::trunc);
    out.write(sContent.data(), static_cast<std::streamsize>(sContent.size()));
}
