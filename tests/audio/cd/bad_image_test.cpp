// Images that are no images: each is refused with a message within seconds,
// in a child process so that a hang or an exit inside a library fails the
// test instead of stopping it.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "audio/cd/cd_in.h"
#include "audio/core/acs_exception.h"
#include "support/disc_fixture.h"

namespace sonfeld::test {
namespace {

struct ChildResult {
    bool finished = false;
    int exitCode = -1;
    std::string message;
};

// Adds path as an image in a child; its refusal comes back through a pipe.
ChildResult AddImageInChild(const std::string& path, std::chrono::seconds limit)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        std::string message = "(accepted)";
        try {
            TCDIn::AddImageDrive(path);
        } catch (const EACSException& error) {
            message = error.what();
        }
        const ssize_t written = write(pipeEnds[1], message.data(), message.size());
        _exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    ChildResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[1024];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t got = read(pipeEnds[0], buffer, sizeof(buffer));
        if (got <= 0)
            break;
        result.message.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) {
            result.finished = true;
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return result;
        }
        usleep(20000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return result;
}

void ExpectRefusedQuickly(const std::string& path)
{
    SCOPED_TRACE("image \"" + path + "\"");
    const ChildResult result = AddImageInChild(path, std::chrono::seconds(10));
    ASSERT_TRUE(result.finished) << "no answer within 10 seconds";
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.message.rfind("无法打开光盘镜像: ", 0), 0u) << result.message;
}

TEST(BadImageTest, FoldersPipesEmptyPathsAndBrokenNrgAreRefused)
{
    LoadRealLibraryWithImages({});
    TempDir dir;
    ExpectRefusedQuickly(dir.Path().string());
    ExpectRefusedQuickly("");
    ASSERT_EQ(mkfifo((dir / "pipe.nrg").c_str(), 0600), 0);
    ExpectRefusedQuickly((dir / "pipe.nrg").string());
    ASSERT_EQ(mkfifo((dir / "pipe.cue").c_str(), 0600), 0);
    ExpectRefusedQuickly((dir / "pipe.cue").string());
    ExpectRefusedQuickly((dir / "absent.cue").string());

    // Nero footers whose chunk offset points past the file or into noise.
    std::vector<std::uint8_t> nrg(64 * 1024, 0x33);
    const std::uint8_t v2[] = {'N', 'E', 'R', '5', 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 0};
    nrg.insert(nrg.end(), std::begin(v2), std::end(v2));
    WriteFileBytes(dir / "far.nrg", nrg);
    ExpectRefusedQuickly((dir / "far.nrg").string());
    nrg.resize(64 * 1024);
    const std::uint8_t v1[] = {'N', 'E', 'R', 'O', 0, 0, 0x10, 0};
    nrg.insert(nrg.end(), std::begin(v1), std::end(v1));
    WriteFileBytes(dir / "noise.nrg", nrg);
    ExpectRefusedQuickly((dir / "noise.nrg").string());
    std::filesystem::copy_file(dir / "far.nrg", dir / "far.img");
    ExpectRefusedQuickly((dir / "far.img").string());
}

} // namespace
} // namespace sonfeld::test
