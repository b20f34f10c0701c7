#include "wave_in.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "audio/core/acs_exception.h"
#include "wave_converter.h"
#include "wave_header_scan.h"

namespace sonfeld {

namespace {

constexpr int kDecodeBufferSize = 16384;
// Where the first audio byte may lie; offsets are kept in 16 bits.
constexpr std::int64_t kDataStartLimit = 65536;

} // namespace

TWaveIn::TWaveIn(TComponent* owner) : TACSFileIn(owner)
{
}

TWaveIn::~TWaveIn()
{
    DetachFromReaders();
    ConvertedStream.reset();
    replacedOwnedStream_.reset();
}

void TWaveIn::ScanHeader()
{
    const TWaveHeaderInfo info = ScanWaveHeader(*Stream, TWaveScanMode::Decode);
    kind_ = info.Kind;
    size_.store(0);
    if (kind_ == wtUnsupported)
        return;
    channels_ = info.Channels;
    sampleRate_ = info.SampleRate;
    bitsPerSample_ = info.BitsPerSample;
    dataStart_ = info.DataStart;
    factCount_ = info.FactValue;
    std::vector<std::uint8_t> body = info.FmtBody;
    body.resize(std::max<std::size_t>(body.size(), 22), 0);
    const int samplesPerBlock = ReadLE16(&body[18]);

    bool fits = dataStart_ < kDataStartLimit && channels_ > 0;
    switch (kind_) {
    case wtPCM:
        size_.store(info.DataSize);
        fits = fits && (bitsPerSample_ >> 3) > 0;
        break;
    case wtDVIADPCM:
        imaBlockAlign_ = info.BlockAlign;
        imaSamplesPerBlock_ = samplesPerBlock;
        fits = fits && ImaBlockFits(imaBlockAlign_, channels_) && imaSamplesPerBlock_ > 0 &&
               ImaSamplesPerBlock(imaBlockAlign_, channels_) * channels_ * 2 <= kDecodeBufferSize;
        break;
    case wtMSADPCM: {
        blockAlign_ = info.BlockAlign;
        samplesPerBlock_ = samplesPerBlock;
        coefficients_.Count = ReadLE16(&body[20]);
        fits = fits && channels_ <= 2 && coefficients_.Count >= 1 && coefficients_.Count <= 32 &&
               info.FmtBody.size() >= 22 + 4 * static_cast<std::size_t>(coefficients_.Count) &&
               samplesPerBlock_ >= 2 &&
               MsAdpcmBlockBytes(samplesPerBlock_, channels_) <= blockAlign_ &&
               samplesPerBlock_ * channels_ * 2 <= kDecodeBufferSize;
        if (fits)
            for (int i = 0; i < coefficients_.Count; ++i) {
                coefficients_.Pairs[i][0] = static_cast<std::int16_t>(ReadLE16(&body[22 + 4 * i]));
                coefficients_.Pairs[i][1] = static_cast<std::int16_t>(ReadLE16(&body[24 + 4 * i]));
            }
        break;
    }
    case wtACM:
        blockAlign_ = info.BlockAlign;
        samplesPerBlock_ = samplesPerBlock;
        fits = fits &&
               info.FmtBody.size() <= static_cast<std::size_t>(TWaveConverter::kFormatRecordSize);
        break;
    case wtUnsupported: break;
    }
    if (!fits)
        kind_ = wtUnsupported;
}

void TWaveIn::OpenSourceFile()
{
    valid_ = true;
    if (OpenCount != 0) {
        ++OpenCount;
        return;
    }
    kind_ = wtUnsupported;
    if (!StreamAssigned) {
        ownedStream_ = std::make_unique<TFileStream>(fileName_, TFileStream::Mode::OpenRead);
        Stream = ownedStream_.get();
    }
    ScanHeader();
    switch (kind_) {
    case wtUnsupported: valid_ = false; break;
    case wtPCM: totalSamples_ = Size() / ((bitsPerSample_ >> 3) * channels_); break;
    case wtDVIADPCM:
        if (bitsPerSample_ != 4)
            valid_ = false;
        bitsPerSample_ = 16;
        totalSamples_ = factCount_;
        size_.store(totalSamples_ * 2 * channels_);
        break;
    case wtMSADPCM:
        bitsPerSample_ = 16;
        totalSamples_ = factCount_;
        size_.store(totalSamples_ * 2 * channels_);
        break;
    case wtACM:
        if (!ConvertAcm()) {
            // The file is closed again; nothing of it will be read.
            valid_ = false;
            kind_ = wtUnsupported;
            ReleaseStreams();
            // Without its library the file cannot be read at all: say so
            // rather than treat it as a file of an unknown kind.
            if (!libraryError_.empty())
                throw ELibraryNotLoaded(std::exchange(libraryError_, std::string()));
            return;
        }
        break;
    }
    ++OpenCount;
}

bool TWaveIn::ConvertAcm()
{
    try {
        TWaveConverter converter;
        Stream->SetPosition(0);
        converter.ReadSourceWave(*Stream);
        if (converter.SuggestTargetFormat() != 0 || converter.ConvertData() != 0)
            return false;
        ConvertedStream = std::make_unique<TMemoryStream>();
        replacedStream_ = Stream;
        replacedAssigned_ = StreamAssigned;
        replacedOwnedStream_ = std::move(ownedStream_);
        Stream = ConvertedStream.get();
        converter.WritePCMWave(*ConvertedStream);
        size_.store(ConvertedStream->Size());
        ConvertedStream->SetPosition(0);
        ScanHeader();
        if (kind_ != wtPCM)
            return false;
        kind_ = wtACM;
        totalSamples_ = Size() / (2 * channels_);
        return true;
    } catch (const ELibraryNotLoaded& error) {
        libraryError_ = error.what();
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

void TWaveIn::ReleaseStreams()
{
    if (ConvertedStream) {
        ConvertedStream.reset();
        Stream = replacedStream_;
        ownedStream_ = std::move(replacedOwnedStream_);
        replacedStream_ = nullptr;
    }
    if (!StreamAssigned) {
        ownedStream_.reset();
        Stream = nullptr;
    } else if (Seekable() && Stream != nullptr) {
        Stream->SetPosition(0);
    }
}

void TWaveIn::CloseSourceFile()
{
    if (OpenCount == 1)
        ReleaseStreams();
    if (OpenCount > 0)
        --OpenCount;
}

bool TWaveIn::SeekSample(std::int64_t sample)
{
    if (!Seekable())
        return false;
    OpenSourceFile();
    bool moved = true;
    switch (kind_) {
    case wtPCM:
    case wtACM:
        // The converted data of an MPEG file is PCM and seeks like it.
        Stream->SetPosition(sample * (bitsPerSample_ >> 3) * channels_ + dataStart_);
        break;
    case wtDVIADPCM:
        Stream->SetPosition(sample / imaSamplesPerBlock_ * imaBlockAlign_ + dataStart_);
        break;
    case wtMSADPCM:
        Stream->SetPosition(sample / samplesPerBlock_ * blockAlign_ + dataStart_);
        break;
    case wtUnsupported: moved = false; break;
    }
    CloseSourceFile();
    return moved;
}

int TWaveIn::RefillPcm()
{
    auto n = static_cast<std::int64_t>(Stream->Read(DecodeBuffer.data(), DecodeBuffer.size()));
    if (Position() + n >= Size())
        n = std::max<std::int64_t>(0, Size() - Position());
    return static_cast<int>(n);
}

int TWaveIn::RefillAdpcm()
{
    if (Stream->Position() >= Stream->Size())
        return 0;
    const int align = kind_ == wtDVIADPCM ? imaBlockAlign_ : blockAlign_;
    blockBuffer_.assign(static_cast<std::size_t>(align), 0);
    Stream->Read(blockBuffer_.data(), blockBuffer_.size());
    int frames = 0;
    bool ok = false;
    if (kind_ == wtDVIADPCM) {
        frames = ImaSamplesPerBlock(imaBlockAlign_, channels_);
        decodedBlock_.resize(static_cast<std::size_t>(frames) *
                             static_cast<std::size_t>(channels_));
        ok = DecodeImaBlock(blockBuffer_.data(), imaBlockAlign_, channels_, decodedBlock_.data());
    } else {
        frames = MsAdpcmDecodedFrames(samplesPerBlock_, channels_);
        decodedBlock_.resize(static_cast<std::size_t>(frames) *
                             static_cast<std::size_t>(channels_));
        ok = DecodeMsAdpcmBlock(blockBuffer_.data(), samplesPerBlock_, channels_, coefficients_,
                                decodedBlock_.data());
    }
    if (!ok) {
        valid_ = false;
        return 0;
    }
    for (std::size_t i = 0; i < decodedBlock_.size(); ++i)
        WriteLE16(&DecodeBuffer[2 * i], static_cast<std::uint16_t>(decodedBlock_[i]));
    return frames * channels_ * 2;
}

int TWaveIn::ReadPCM(void* buffer, int bufferSize)
{
    if (!Busy())
        throw EACSException("The Stream is not opened");
    if (BufStart > BufEnd) {
        int n = 0;
        switch (kind_) {
        case wtPCM:
        case wtACM:
            n = RefillPcm();
            if (n == 0 && loop_) {
                CloseInput();
                OpenInput();
                n = RefillPcm(); // once only: an empty file must not loop for ever
            }
            break;
        case wtDVIADPCM:
        case wtMSADPCM:
            if (Position() >= Size()) {
                if (!loop_)
                    return 0;
                CloseInput();
                OpenInput();
                if (Position() >= Size())
                    return 0;
            }
            n = RefillAdpcm();
            break;
        case wtUnsupported: return 0;
        }
        BufStart = 1;
        BufEnd = n;
    }
    const int count = std::min(bufferSize, BufEnd - BufStart + 1);
    if (count <= 0)
        return 0;
    std::memcpy(buffer, DecodeBuffer.data() + BufStart - 1, static_cast<std::size_t>(count));
    BufStart += count;
    position_.fetch_add(count);
    return count;
}

} // namespace sonfeld
