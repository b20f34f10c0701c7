#include "mac_out.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "audio/core/acs_exception.h"
#include "audio/formats/ape/mac_dll.h"

namespace sonfeld {

TMACOut::TMACOut(TComponent* owner) : TACSFileOut(owner)
{
    MACDllBinding()->RequireLoaded();
}

TMACOut::~TMACOut()
{
    DestroyWorker();
}

void TMACOut::SetCompressionLevel(int value)
{
    const bool known = value == 1000 || value == 2000 || value == 3000 || value == 4000;
    compressionLevel_.store(known ? value : 2000);
}

void TMACOut::StartEncoding(TACSInput& input)
{
    Compressor = std::make_unique<TAPECompress>();
    const auto fillWaveFormat = MACDll().FillWaveFormatEx;
    if (fillWaveFormat == nullptr)
        throw EAPEException(3000);
    // The record is always filled; the values are judged by Start below.
    fillWaveFormat(&WaveFormat, input.SampleRate(), input.BitsPerSample(), input.Channels());
    const int result = Compressor->Start(FileName().c_str(), &WaveFormat, MaxAudioBytes(),
                                         CompressionLevel(), nullptr, -1);
    CanOutput.store(result == 0);
    if (result != 0)
        throw EACSException("Error starting APECompress.\r\n" + APEErrorText(result));
}

void TMACOut::AbandonPrepare(bool inputOpenedByPrepare)
{
    Compressor.reset();
    TACSFileOut::AbandonPrepare(inputOpenedByPrepare);
}

void TMACOut::HandOver(int n)
{
    int done = 0;
    while (done < n) {
        int room = 0;
        unsigned char* target = Compressor->LockBuffer(&room);
        const int piece = std::min(room, n - done);
        if (piece > 0)
            std::memcpy(target, Buffer.data() + done, static_cast<std::size_t>(piece));
        const int error = Compressor->UnlockBuffer(std::max(piece, 0));
        if (error != 0)
            throw EACSException("APECompress.UnlockBuffer Error: " + std::to_string(error));
        // A library that offers no room yet accepts the empty piece would
        // keep the worker here for ever.
        if (piece <= 0)
            throw EACSException("APECompress.LockBuffer Error: no room offered");
        done += piece;
    }
}

bool TMACOut::EncodeBlock()
{
    // The library takes bytes as they come; it keeps a cut frame itself.
    const int n = ReadInput(Buffer.data(), kBufferBytes);
    if (n <= 0)
        return false;
    HandOver(n);
    return true;
}

void TMACOut::CompleteFile()
{
    // Released before anything can raise, so a second call after a failure
    // finds nothing left to finish.
    const std::unique_ptr<TAPECompress> compressor = std::move(Compressor);
    if (!compressor)
        return;
    // The library writes the file itself: its result is the only sign of a
    // file that could not be completed.
    const int result = compressor->Finish(nullptr, 0, 0);
    if (result != 0)
        throw EWriteFailed("APECompress.Finish Error: " + std::to_string(result));
}

} // namespace sonfeld
