#pragma once

// The program run as a user runs it from a shell, with its settings in a
// temporary folder whose servers are closed local ports, so that no lookup
// ever reaches the internet.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "audio/core/dynamic_library.h"
#include "settings_sandbox.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {

inline std::string FileText(const std::filesystem::path& path)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(config_.Path() / "Tessaly");
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=http://127.0.0.1:" << UnusedLocalPort()
            << "/accuraterip\n"
            << ClosedNameServers();
    }

    // Runs sonfeld with the arguments (already quoted for the shell); its
    // standard output lands in out_, its standard error in err_.
    int Sonfeld(const std::string& arguments)
    {
        const std::string errFile = (logs_ / "stderr.txt").string();
        out_.clear();
        const int status =
            RunCommand("XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) +
                           " QT_QPA_PLATFORM=offscreen " + ShellQuote(InProgramFolder("sonfeld")) +
                           " " + arguments + " 2>" + ShellQuote(errFile),
                       &out_);
        err_ = FileText(errFile);
        return status;
    }

    TempDir config_;
    TempDir logs_;
    std::string out_;
    std::string err_;
};

} // namespace sonfeld::test
