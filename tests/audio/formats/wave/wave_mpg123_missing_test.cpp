#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "audio/formats/wave/mpg123_library.h"
#include "audio/formats/wave/wave_in.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/tools.h"
#include "wave_test_util.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

// Converts source into a PCM WAV file at target; the run's last error, empty
// when it ended done.
std::string Convert(const std::filesystem::path& source, const std::filesystem::path& target,
                    int& done)
{
    TWaveIn input;
    input.SetFileName(source.string());
    TWaveOut output;
    output.SetInput(&input);
    output.SetFileName(target.string());
    OutputRunner runner(output);
    if (!runner.RunAndWait())
        return "the run did not end";
    done = runner.doneCount;
    return runner.LastError();
}

class MissingMpg123 : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(LoadBinding<Mpg123EntryPoints>()); }
    TempDir dir;
};

} // namespace

// Without libmpg123 a WAV file of MPEG data says which library is missing
// instead of passing for a file of an unknown kind, and PCM files still read.
TEST_F(MissingMpg123, MpegInWavSaysTheLibraryIsMissingAndPcmStillReads)
{
    const auto pcm = MakePcm(Signal::Music, 44100);
    const auto source = dir / "source.wav";
    ASSERT_EQ(WriteWave(source, pcm, wtPCM).done, 1);
    const auto mp3 = dir / "mp3.wav";
    ASSERT_EQ(RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(source.string()) +
                         " -c:a libmp3lame -b:a 192k -f wav " + ShellQuote(mp3.string())),
              0);

    for (const auto& standIn : {dir / "libmpg123-absent.so.0", dir / "libmpg123.so.0"}) {
        SCOPED_TRACE(standIn.string());
        if (standIn.filename() == "libmpg123.so.0")
            WriteFileBytes(standIn, {});
        EXPECT_FALSE(LoadBinding<Mpg123EntryPoints>(standIn.string()));

        int done = 0;
        EXPECT_EQ(Convert(mp3, dir / "from-mp3.wav", done),
                  standIn.string() + " library could not be loaded.");
        EXPECT_EQ(done, 0);

        EXPECT_EQ(Convert(source, dir / "from-pcm.wav", done), "");
        EXPECT_EQ(done, 1);
        EXPECT_EQ(ReadFileBytes(dir / "from-pcm.wav"), ReadFileBytes(source));
    }

    // Bound again, the same file converts.
    ASSERT_TRUE(LoadBinding<Mpg123EntryPoints>());
    int done = 0;
    EXPECT_EQ(Convert(mp3, dir / "from-mp3.wav", done), "");
    EXPECT_EQ(done, 1);
}
