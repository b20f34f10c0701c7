#include <string>

#include <gtest/gtest.h>

#include "audio/core/acs_exception.h"
#include "audio/formats/flac/flac_out.h"
#include "audio/formats/mp3/mp3_out.h"
#include "audio/formats/wave/wave_out.h"
#include "support/file_run.h"
#include "support/missing_library.h"
#include "support/signals.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;

// A broken copy of one codec library (here an empty file named like LAME)
// costs only its own format: the others keep working, and the broken one
// says which library failed when its output is created.
TEST(MissingCodecLibrary, AnEmptyStandInForLameLeavesWaveAndFlacWorking)
{
    TempDir dir;
    ExpectOutputRefusedByEmptyStandIn<LameEntryPoints, TMP3Out>(dir / "libmp3lame.so.0");

    const auto pcm = MakePcm(Signal::Music, 44100);
    {
        TMemoryInput input(pcm);
        TWaveOut wave;
        const auto run = RunToFile(wave, input, dir / "a.wav");
        EXPECT_EQ(run.done, 1) << run.error;
        EXPECT_EQ(ReadFileBytes(dir / "a.wav").size(), 44 + pcm.size());
    }
    {
        TMemoryInput input(pcm);
        TFLACOut flac;
        const auto run = RunToFile(flac, input, dir / "a.flac");
        EXPECT_EQ(run.done, 1) << run.error;
        if (ToolAvailable("flac")) {
            EXPECT_EQ(RunCommand("flac -t -s " + ShellQuote((dir / "a.flac").string())), 0);
        }
    }
    EXPECT_TRUE(LoadBinding<LameEntryPoints>());
    EXPECT_NO_THROW(TMP3Out());
}
