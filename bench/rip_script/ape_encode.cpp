// Compresses one WAV file into an APE file through the APE output, as a
// script would call an encoder: ape_encode IN.wav OUT.ape. The frame workers
// follow SONFELD_APE_THREADS, so a script can run it on one thread.
#include <chrono>
#include <cstdio>

#include "audio/formats/ape/mac_out.h"
#include "audio/formats/wave/wave_in.h"
#include "support/output_runner.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: ape_encode IN.wav OUT.ape\n");
        return 2;
    }
    sonfeld::TWaveIn input;
    input.SetFileName(argv[1]);
    sonfeld::TMACOut output;
    output.SetInput(&input);
    output.SetFileName(argv[2]);
    sonfeld::test::OutputRunner runner(output);
    const bool ended = runner.RunAndWait(std::chrono::seconds(3600));
    output.SetInput(nullptr);
    if (!ended || runner.errorCount != 0) {
        std::fprintf(stderr, "ape_encode: %s\n", runner.LastError().c_str());
        return 1;
    }
    return 0;
}
