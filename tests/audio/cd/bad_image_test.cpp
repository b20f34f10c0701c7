// Images that are no images: each is refused with a message within seconds,
// in a child process so that a hang or an exit inside a library fails the
// test instead of stopping it.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <random>

#include "audio/cd/cd_in.h"
#include "audio/core/acs_exception.h"
#include "support/disc_fixture.h"
#include "support/image_writers.h"

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

void ExpectRefusedQuickly(const std::string& path, const std::string& reason = "")
{
    SCOPED_TRACE("image \"" + path + "\"");
    const ChildResult result = AddImageInChild(path, std::chrono::seconds(10));
    ASSERT_TRUE(result.finished) << "no answer within 10 seconds";
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.message.rfind("无法打开光盘镜像: ", 0), 0u) << result.message;
    EXPECT_NE(result.message.find(reason), std::string::npos) << result.message;
}

void ExpectAccepted(const std::string& path)
{
    SCOPED_TRACE("image \"" + path + "\"");
    const ChildResult result = AddImageInChild(path, std::chrono::seconds(10));
    ASSERT_TRUE(result.finished) << "no answer within 10 seconds";
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.message, "(accepted)");
}

// Audio tracks of the given sectors, written at once, with the chunks given.
Bytes NrgOfSectors(const std::vector<int>& sectors,
                   const std::vector<std::pair<const char*, Bytes>>& extra = {})
{
    NrgSpec spec;
    for (std::size_t t = 0; t < sectors.size(); ++t)
        spec.tracks.emplace_back(static_cast<std::size_t>(sectors[t]) * 2352,
                                 static_cast<std::uint8_t>(t + 1));
    spec.extra = extra;
    return NrgImage(spec);
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

TEST(BadImageTest, BrokenNrgImagesAreRefusedAndCdTextIsRead)
{
    LoadRealLibraryWithImages({});
    TempDir dir;
    WriteFileBytes(dir / "plain.nrg", NrgOfSectors({300, 400}));
    ExpectAccepted((dir / "plain.nrg").string());

    // CD-TEXT, even an empty one, made libcdio free its memory twice.
    WriteFileBytes(dir / "cdtext.nrg", NrgOfSectors({300, 400}, {{"CDTX", Bytes(36, 0)}}));
    ExpectAccepted((dir / "cdtext.nrg").string());
    // A cue chunk too short for one entry: libcdio's loop ran off its end.
    Bytes shortCue = NrgOfSectors({300});
    const char* cuex = "CUEX";
    const auto at = std::search(shortCue.begin(), shortCue.end(), cuex, cuex + 4);
    Bytes cues(shortCue.begin(), at);
    AppendChunk(cues, "CUES", Bytes(4, 0));
    AppendChunk(cues, "END!", {});
    const char footer[] = "NERO";
    cues.insert(cues.end(), footer, footer + 4);
    AppendBigEndian(cues, static_cast<std::uint64_t>(at - shortCue.begin()), 4);
    WriteFileBytes(dir / "shortcue.nrg", cues);
    ExpectRefusedQuickly((dir / "shortcue.nrg").string(), "CUES");

    // A track of no sector size and an unknown mode must not be divided by.
    Bytes sizeless = NrgOfSectors({300});
    const char* daox = "DAOX";
    const auto dao = std::search(sizeless.begin(), sizeless.end(), daox, daox + 4) + 8 + 22;
    dao[12] = 0;
    dao[13] = 0;
    dao[14] = 0x01;
    WriteFileBytes(dir / "sizeless.nrg", sizeless);
    ExpectRefusedQuickly((dir / "sizeless.nrg").string(), "damaged DAOX chunk");

    // Chunks of every known kind in random order and sizes: each is refused
    // or read (the child would die otherwise).
    std::mt19937 random(7);
    const char* ids[] = {"CUEX", "DAOX", "CDTX", "SINF", "MTYP", "ETN2", "CUES", "DAOI"};
    for (int round = 0; round < 60; ++round) {
        Bytes image(2352 * 300, 0x11);
        const std::uint64_t chain = image.size();
        const int count = 1 + static_cast<int>(random() % 5);
        for (int c = 0; c < count; ++c) {
            Bytes body(random() % 4 == 0 ? 36 : random() % 120, 0);
            for (auto& b : body)
                b = static_cast<std::uint8_t>(random() % 3 == 0 ? random() : 0);
            AppendChunk(image, ids[random() % std::size(ids)], body);
        }
        AppendChunk(image, "END!", {});
        image.insert(image.end(), {'N', 'E', 'R', '5'});
        AppendBigEndian(image, chain, 8);
        const auto path = dir / ("random" + std::to_string(round) + ".nrg");
        WriteFileBytes(path, image);
        const ChildResult result = AddImageInChild(path.string(), std::chrono::seconds(10));
        EXPECT_TRUE(result.finished && result.exitCode == 0)
            << "round " << round << ": " << result.exitCode << " " << result.message;
    }
}

TEST(BadImageTest, BrokenTocFilesAreRefusedQuickly)
{
    LoadRealLibraryWithImages({});
    TempDir dir;
    WriteFileBytes(dir / "a.bin", Bytes(2352 * 1000, 0x22));
    ASSERT_EQ(mkfifo((dir / "fifo.bin").c_str(), 0600), 0);
    const std::string bin = "\"" + (dir / "a.bin").string() + "\"";
    auto toc = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    };
    ExpectAccepted(toc("plain.toc", "CD_DA\nTRACK AUDIO\nFILE " + bin +
                                        " 0 00:04:00\nTRACK AUDIO\nFILE " + bin +
                                        " 00:04:00 00:05:00\n"));
    // Three lines that made libcdio divide by a sector size it did not know yet.
    ExpectRefusedQuickly(toc("nomode.toc", "CD_DA\nTRACK\nDATAFILE " + bin + " 00:02:00\n"),
                         "without a mode");
    ExpectRefusedQuickly(
        toc("fifo.toc", "CD_DA\nTRACK AUDIO\nFILE \"" + (dir / "fifo.bin").string() + "\" 0\n"),
        "not a regular file");
    ExpectRefusedQuickly(toc("missing.toc", "CD_DA\nTRACK AUDIO\nFILE \"/nonexistent/x.bin\" 0\n"),
                         "不存在");
    ExpectRefusedQuickly(toc("toolong.toc", "CD_DA\nTRACK AUDIO\nFILE " + bin + " 0 00:20:00\n"),
                         "缺少 500 个扇区");
    ExpectRefusedQuickly(
        toc("startpast.toc", "CD_DA\nTRACK AUDIO\nFILE " + bin + " 0 00:04:00\nSTART 00:05:00\n"),
        "past its end");
    ExpectRefusedQuickly(toc("fifofile.toc", "CD_DA\nTRACK AUDIO\nFIFO \"x\" 00:04:00\n"), "FIFO");
    std::string hundred = "CD_DA\n";
    for (int t = 0; t < 100; ++t)
        hundred += "TRACK AUDIO\nFILE " + bin + " " + std::to_string(t * 5880) + " 588\n";
    ExpectRefusedQuickly(toc("hundred.toc", hundred), "beyond 99");
}

} // namespace
} // namespace sonfeld::test
