#include "wave_out.h"

#include <algorithm>
#include <cstring>

#include "audio/core/acs_exception.h"

namespace sonfeld {

namespace {

void PutTag(std::uint8_t* p, const char* tag)
{
    std::memcpy(p, tag, 4);
}

void WriteUInt32At(TStream& stream, std::int64_t offset, std::uint32_t value)
{
    stream.SetPosition(offset);
    stream.WriteUInt32(value);
}

} // namespace

TWaveOut::TWaveOut(TComponent* owner) : TACSFileOut(owner)
{
}

TWaveOut::~TWaveOut()
{
    DestroyWorker();
}

void TWaveOut::SetWavType(TWavType value)
{
    if ((value == wtPCM || value == wtDVIADPCM) && !Busy())
        wavType_ = value;
}

void TWaveOut::SetBlockSize(std::uint16_t value)
{
    if (value != 0 && value % 4 == 0 && !Busy())
        blockSize_ = value;
}

void TWaveOut::SetFileMode(TFileOutputMode value)
{
    StoreFileMode(value);
}

std::array<std::uint8_t, 44> TWaveOut::FillPCMHeader() const
{
    std::array<std::uint8_t, 44> h{};
    const auto size = static_cast<std::uint32_t>(inputSize_);
    const auto blockAlign = static_cast<std::uint16_t>((bitsPerSample_ * channels_) >> 3);
    PutTag(&h[0], "RIFF");
    WriteLE32(&h[4], size + 36);
    PutTag(&h[8], "WAVE");
    PutTag(&h[12], "fmt ");
    WriteLE32(&h[16], 16);
    WriteLE16(&h[20], kWaveFormatPcm);
    WriteLE16(&h[22], static_cast<std::uint16_t>(channels_));
    WriteLE32(&h[24], static_cast<std::uint32_t>(sampleRate_));
    WriteLE32(&h[28], static_cast<std::uint32_t>(sampleRate_) * blockAlign);
    WriteLE16(&h[32], blockAlign);
    WriteLE16(&h[34], static_cast<std::uint16_t>(bitsPerSample_));
    PutTag(&h[36], "data");
    WriteLE32(&h[40], size);
    return h;
}

std::array<std::uint8_t, 60> TWaveOut::FillADPCMHeader() const
{
    std::array<std::uint8_t, 60> h{};
    const int samplesPerBlock = ImaSamplesPerBlock(blockSize_, channels_);
    const std::int64_t frames = AdpcmFrames();
    const std::uint32_t dataSize = StartHeaderDataSize();
    PutTag(&h[0], "RIFF");
    WriteLE32(&h[4], dataSize + 52);
    PutTag(&h[8], "WAVE");
    PutTag(&h[12], "fmt ");
    WriteLE32(&h[16], 20);
    WriteLE16(&h[20], kWaveFormatDviAdpcm);
    WriteLE16(&h[22], static_cast<std::uint16_t>(channels_));
    WriteLE32(&h[24], static_cast<std::uint32_t>(sampleRate_));
    WriteLE32(&h[28], static_cast<std::uint32_t>(sampleRate_ / samplesPerBlock) * blockSize_);
    WriteLE16(&h[32], blockSize_);
    WriteLE16(&h[34], 4);
    WriteLE16(&h[36], 2);
    WriteLE16(&h[38], static_cast<std::uint16_t>(samplesPerBlock));
    PutTag(&h[40], "fact");
    WriteLE32(&h[44], 4);
    WriteLE32(&h[48], static_cast<std::uint32_t>(frames));
    PutTag(&h[52], "data");
    WriteLE32(&h[56], dataSize);
    return h;
}

std::int64_t TWaveOut::AdpcmFrames() const
{
    // Integer division truncating toward zero, as for an unknown size (-1).
    return inputSize_ / (bitsPerSample_ / 8) / channels_;
}

std::uint32_t TWaveOut::StartHeaderDataSize() const
{
    if (wavType_ == wtPCM)
        return static_cast<std::uint32_t>(inputSize_);
    const std::int64_t blocks = AdpcmFrames() / ImaSamplesPerBlock(blockSize_, channels_) + 1;
    return static_cast<std::uint32_t>(blocks * blockSize_);
}

void TWaveOut::ReadExistingHeader()
{
    Stream->SetPosition(0);
    const TWaveHeaderInfo info = ScanWaveHeader(*Stream, TWaveScanMode::Append);
    ExistingHeader = TExistingHeader{};
    ExistingHeader.Kind = info.Kind;
    if (info.Kind == wtUnsupported)
        return;
    ExistingHeader.SampleRate = info.SampleRate;
    ExistingHeader.Channels = info.Channels;
    ExistingHeader.BitsPerSample = info.BitsPerSample;
    ExistingHeader.FactValuePosition = info.FactValuePosition;
    ExistingHeader.DataSizePosition = info.DataSizePosition;
    ExistingHeader.DataStart = info.DataStart;
    // The file's block alignment becomes ours, for PCM files too.
    blockSize_ = static_cast<std::uint16_t>(info.BlockAlign);
}

void TWaveOut::StartEncoding(TACSInput& input)
{
    sampleRate_ = input.SampleRate();
    channels_ = input.Channels();
    bitsPerSample_ = input.BitsPerSample();
    inputSize_ = input.Size();

    if (Appending()) {
        ReadExistingHeader();
        if (ExistingHeader.Kind != wtPCM && ExistingHeader.Kind != wtDVIADPCM)
            throw EBadSettings("Cannot append data to this .wav file.");
        wavType_ = ExistingHeader.Kind;
    }
    if (wavType_ == wtPCM) {
        if (Appending()) {
            if (sampleRate_ != ExistingHeader.SampleRate ||
                bitsPerSample_ != ExistingHeader.BitsPerSample ||
                channels_ != ExistingHeader.Channels)
                throw EBadSettings("Cannot append data in different audio format.");
            Stream->Seek(0, SeekOrigin::End);
        } else {
            const auto header = FillPCMHeader();
            Stream->Write(header.data(), header.size());
        }
        return;
    }
    StartAdpcm(Appending());
}

void TWaveOut::StartAdpcm(bool appending)
{
    if (bitsPerSample_ != 16)
        throw EBadSettings("Cannot encode 8 bit sound into ADPCM.");
    if (appending) {
        if (sampleRate_ != ExistingHeader.SampleRate || channels_ != ExistingHeader.Channels)
            throw EBadSettings("Cannot append data in different audio format.");
    }
    // The block layout holds one or two channels, and for two channels whole
    // groups of 8 bytes; anything else would be written outside the block.
    if (channels_ < 1 || channels_ > 2)
        throw EBadSettings("Cannot encode " + std::to_string(channels_) +
                           " channels into ADPCM; only mono and stereo are supported.");
    if (!ImaBlockFits(blockSize_, channels_))
        throw EBadSettings("ADPCM block size " + std::to_string(blockSize_) + " does not fit " +
                           std::to_string(channels_) + " channel(s).");
    if (appending) {
        Stream->Seek(0, SeekOrigin::End);
    } else {
        const auto header = FillADPCMHeader();
        Stream->Write(header.data(), header.size());
        ChannelState[0].StepIndex = 0;
        ChannelState[1].StepIndex = 0;
    }
    // One block takes the block's sample count of 16-bit frames.
    StartFrames(*Input(), static_cast<std::size_t>(ImaSamplesPerBlock(blockSize_, channels_)));
    adpcmBlock_.assign(blockSize_, 0);
}

bool TWaveOut::EncodeBlock()
{
    return wavType_ == wtPCM ? WritePcmBlock() : WriteAdpcmBlock();
}

bool TWaveOut::WritePcmBlock()
{
    const int n = ReadInput(PCMBuffer.data(), static_cast<int>(PCMBuffer.size()));
    if (n > 0)
        Stream->Write(PCMBuffer.data(), static_cast<std::size_t>(n));
    return n > 0;
}

bool TWaveOut::WriteAdpcmBlock()
{
    // The last block is padded with silence; every block is written whole.
    const bool full = ReadFrames(true) == Frames.FramesPerBlock();
    adpcmInput_.assign(Frames.FramesPerBlock() * static_cast<std::size_t>(channels_) * 2, 0);
    std::copy_n(Frames.Bytes(), Frames.ByteCount(), adpcmInput_.begin());
    const std::uint8_t* samples = adpcmInput_.data();
    ChannelState[0].Predictor = static_cast<std::int16_t>(ReadLE16(samples));
    if (channels_ == 2) {
        ChannelState[1].Predictor = static_cast<std::int16_t>(ReadLE16(samples + 2));
        EncodeStereoBlock(ChannelState, samples + 4, adpcmBlock_.data(), blockSize_);
    } else {
        EncodeMonoBlock(ChannelState[0], samples + 2, adpcmBlock_.data(), blockSize_);
    }
    Stream->Write(adpcmBlock_.data(), adpcmBlock_.size());
    return full;
}

void TWaveOut::CompleteHeaders()
{
    const auto length = static_cast<std::uint32_t>(Stream->Size());
    // The header written at the start holds when the whole input was written;
    // a stopped or failed run gets a header that matches the data present.
    const std::uint32_t headerSize = wavType_ == wtPCM ? 44 : 60;
    if (inputSize_ >= 0 && FileMode() != foAppend && length == headerSize + StartHeaderDataSize())
        return;
    if (wavType_ == wtPCM) {
        if (Appending())
            WriteUInt32At(*Stream, ExistingHeader.DataSizePosition,
                          length - static_cast<std::uint32_t>(ExistingHeader.DataStart));
        else
            WriteUInt32At(*Stream, 40, length - 44);
    } else if (Appending()) {
        const std::uint32_t dataSize =
            length - static_cast<std::uint32_t>(ExistingHeader.DataStart);
        WriteUInt32At(*Stream, ExistingHeader.DataSizePosition, dataSize);
        const int samplesPerBlock = ImaSamplesPerBlock(blockSize_, ExistingHeader.Channels);
        WriteUInt32At(*Stream, ExistingHeader.FactValuePosition,
                      static_cast<std::uint32_t>(samplesPerBlock) * (dataSize / blockSize_));
    } else {
        std::array<std::uint8_t, 60> header{};
        Stream->SetPosition(0);
        Stream->ReadBuffer(header.data(), header.size());
        const std::uint32_t dataSize = length - 60;
        const std::uint32_t blockAlign = ReadLE16(&header[32]);
        const std::uint32_t samplesPerBlock = ReadLE16(&header[38]);
        WriteLE32(&header[56], dataSize);
        WriteLE32(&header[48], blockAlign != 0 ? dataSize / blockAlign * samplesPerBlock : 0);
        Stream->SetPosition(0);
        Stream->Write(header.data(), header.size());
    }
    WriteUInt32At(*Stream, 4, length - 8);
}

void TWaveOut::CompleteFile()
{
    if (Stream != nullptr)
        CompleteHeaders();
}

} // namespace sonfeld
