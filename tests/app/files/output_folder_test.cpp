// The output folder: its lock, the temporary files of a rip and their
// clean-up, and files that must never be written through a planted link.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "app/files/local_path.h"
#include "app/files/output_folder.h"
#include "support/tools.h"

namespace sonfeld::app {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

const std::vector<std::uint8_t> kKeep = {'k', 'e', 'e', 'p'};

QString Q(const fs::path& path)
{
    return PathFromFileSystem(path);
}

std::string Temporary(long long pid, int n, const std::string& extensions)
{
    return ".sonfeld-" + std::to_string(pid) + "-" + std::to_string(n) + ".part" + extensions;
}

// The id of a process that has ended.
pid_t EndedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(OutputFolderTest, PlantedLinksAreNeverFollowed)
{
    TempDir dir;
    const fs::path folder = dir / "out";
    fs::create_directories(folder);
    WriteFileBytes(dir / "victim", kKeep);
    fs::create_symlink(dir / "victim", folder / ".sonfeld.lock");
    const long long pid = QCoreApplication::applicationPid();
    for (int n = 1; n <= 3; ++n)
        fs::create_symlink(dir / "victim", folder / Temporary(pid, n, ".wav"));
    fs::create_symlink(dir / "victim", folder / (Temporary(pid, 4, ".wav") + ".pcm"));

    TOutputFolder output;
    ASSERT_TRUE(output.Acquire(Q(folder)).IsEmpty());
    const QString temporary = output.TemporaryFor(Q(folder / "Track1.wav"));
    ASSERT_FALSE(temporary.isEmpty());
    const fs::path created = FileSystemPath(temporary);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(created))) << created;
    EXPECT_FALSE(fs::exists(fs::symlink_status(created.string() + ".pcm")));
    EXPECT_EQ(ReadFileBytes(dir / "victim"), kKeep);
    EXPECT_FALSE(fs::is_symlink(folder / ".sonfeld.lock"));

    // Another holder of the folder sees it locked.
    TOutputFolder second;
    EXPECT_FALSE(second.Acquire(Q(folder)).IsEmpty());
    output.Release();
    EXPECT_EQ(ReadFileBytes(dir / "victim"), kKeep);
}

// A rip into a folder locks it for rips into the folders below it, and each
// template sub-folder it writes into; the clean-up leaves what a running rip
// owns and removes what a killed one left, spool files included.
TEST(OutputFolderTest, NestedRipsAndTheLeftoversOfKilledOnes)
{
    TempDir dir;
    const fs::path outer = dir / "X";
    const fs::path sub = outer / "sub";
    fs::create_directories(sub);
    const pid_t gone = EndedProcess();
    const long long alive = ::getppid(); // runs as long as this test
    for (const fs::path& where : {outer, sub}) {
        WriteFileBytes(where / Temporary(gone, 1, ".mp3"), kKeep);
        WriteFileBytes(where / Temporary(gone, 1, ".mp3.pcm"), kKeep);
        WriteFileBytes(where / Temporary(gone, 2, ""), kKeep);
        WriteFileBytes(where / Temporary(alive, 1, ".flac"), kKeep);
    }
    const auto names = [](const fs::path& where) {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(where))
            if (entry.path().filename().string().rfind(".sonfeld-", 0) == 0)
                found.push_back(entry.path().filename().string());
        return found;
    };

    TOutputFolder a;
    ASSERT_TRUE(a.Acquire(Q(outer)).IsEmpty());
    EXPECT_EQ(names(outer), std::vector<std::string>{Temporary(alive, 1, ".flac")});
    EXPECT_EQ(names(sub).size(), 4U) << "not yet written into";

    // A rip into the folder below is refused while the one above runs.
    TOutputFolder b;
    const QString refused = b.Acquire(Q(sub)).Chinese();
    EXPECT_TRUE(refused.contains(QStringLiteral("另一个 Sonfeld"))) << refused.toStdString();
    EXPECT_EQ(names(sub).size(), 4U);

    // The first track into the sub-folder locks and clears it.
    const QString temporary = a.TemporaryFor(Q(sub / "Track1.mp3"));
    ASSERT_FALSE(temporary.isEmpty());
    EXPECT_EQ(names(sub).size(), 2U) << "the live rip's and the new one";
    EXPECT_TRUE(fs::exists(sub / Temporary(alive, 1, ".flac")));
    EXPECT_FALSE(b.Acquire(Q(sub)).IsEmpty());

    // Handed over (to wait for the log), the folder stays locked.
    TOutputFolder records;
    a.HandOver(records);
    EXPECT_FALSE(a.Held());
    EXPECT_FALSE(b.Acquire(Q(outer)).IsEmpty());
    records.Release();
    EXPECT_TRUE(b.Acquire(Q(sub)).IsEmpty());

    // The other way round: a rip below keeps a rip above out of that folder.
    TOutputFolder c;
    ASSERT_TRUE(c.Acquire(Q(outer)).IsEmpty());
    TMessage problem;
    EXPECT_TRUE(c.TemporaryFor(Q(sub / "Track2.mp3"), &problem).isEmpty());
    EXPECT_TRUE(problem.Chinese().contains(QStringLiteral("另一个 Sonfeld")));
}

TEST(OutputFolderTest, CoverFileIsWrittenWholeOrKept)
{
    TempDir dir;
    const QByteArray jpeg =
        QByteArray::fromHex("ffd8ffe0") + QByteArray(100, 'j') + QByteArray::fromHex("ffd9");
    const std::vector<std::uint8_t> jpegBytes(jpeg.begin(), jpeg.end());
    const std::vector<std::uint8_t> users = {0xFF, 0xD8, 0xFF, 'u', 's', 'e', 'r',  's',
                                             ' ',  'c',  'o',  'v', 'e', 'r', 0xFF, 0xD9};
    const std::vector<std::uint8_t> text = {'m', 'i', 'n', 'e'};

    WriteFileBytes(dir / "empty.jpg", {});
    WriteFileBytes(dir / "cut.jpg", {jpegBytes.begin(), jpegBytes.begin() + 40});
    WriteFileBytes(dir / "users.jpg", users);
    WriteFileBytes(dir / "text.jpg", text);
    WriteFileBytes(dir / "elsewhere", kKeep);
    fs::create_symlink(dir / "elsewhere", dir / "link.jpg");
    for (const char* name : {"empty.jpg", "cut.jpg", "new.jpg"}) {
        EXPECT_TRUE(WriteCoverFileOnce(Q(dir / name), jpeg)) << name;
        EXPECT_EQ(ReadFileBytes(dir / name), jpegBytes) << name;
    }
    EXPECT_TRUE(WriteCoverFileOnce(Q(dir / "users.jpg"), jpeg));
    EXPECT_EQ(ReadFileBytes(dir / "users.jpg"), users);
    EXPECT_TRUE(WriteCoverFileOnce(Q(dir / "text.jpg"), jpeg));
    EXPECT_EQ(ReadFileBytes(dir / "text.jpg"), text);
    EXPECT_TRUE(WriteCoverFileOnce(Q(dir / "link.jpg"), jpeg));
    EXPECT_EQ(ReadFileBytes(dir / "elsewhere"), kKeep);
    EXPECT_FALSE(WriteCoverFileOnce(Q(dir / "missing" / "cover.jpg"), jpeg));
}

} // namespace
} // namespace sonfeld::app
