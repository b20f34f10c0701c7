#include "repair_audio_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <FLAC/stream_decoder.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "audio/cd/disc/decoded_image_file.h"
#include "audio/core/library_binding.h"
#include "audio/formats/ape/ape_compress.h"
#include "audio/formats/ape/mac_dll.h"
#include "audio/formats/flac/flac_library.h"

namespace sonfeld::app {
namespace {

constexpr int kRate = 44100;

// libFLAC's stream decoder, from the same library file as the encoder.
struct FlacDecoderEntryPoints {
    decltype(&::FLAC__stream_decoder_new) decoder_new = nullptr;
    decltype(&::FLAC__stream_decoder_delete) decoder_delete = nullptr;
    decltype(&::FLAC__stream_decoder_set_md5_checking) set_md5_checking = nullptr;
    decltype(&::FLAC__stream_decoder_init_stream) init_stream = nullptr;
    decltype(&::FLAC__stream_decoder_process_until_end_of_stream) process = nullptr;
    decltype(&::FLAC__stream_decoder_finish) finish = nullptr;

    static constexpr LibraryNaming kNaming = LibraryNaming::AsGiven;
    static std::string DefaultFileName() { return FLACEntryPoints::DefaultFileName(); }
    void Resolve(EntryPointResolver& resolver)
    {
        resolver.Required(decoder_new, "FLAC__stream_decoder_new");
        resolver.Required(decoder_delete, "FLAC__stream_decoder_delete");
        resolver.Required(set_md5_checking, "FLAC__stream_decoder_set_md5_checking");
        resolver.Required(init_stream, "FLAC__stream_decoder_init_stream");
        resolver.Required(process, "FLAC__stream_decoder_process_until_end_of_stream");
        resolver.Required(finish, "FLAC__stream_decoder_finish");
    }
};

std::uint32_t Le32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Where the PCM of a RIFF WAVE file lies: [begin, begin + size).
struct WaveData {
    std::size_t begin = 0;
    std::size_t size = 0;
};

std::optional<WaveData> FindWaveData(const std::vector<std::uint8_t>& file, const QString& path,
                                     QString* error)
{
    auto refuse = [&](const QString& why) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return std::nullopt;
    };
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return refuse(QStringLiteral("not a RIFF WAVE file"));
    bool formatOk = false;
    std::optional<WaveData> data;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::uint8_t* chunk = file.data() + at;
        const std::size_t size = Le32(chunk + 4);
        if (size > file.size() - at - 8)
            return refuse(QStringLiteral("a chunk runs past the end of the file"));
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            const std::uint16_t tag = Le16(chunk + 8);
            const bool pcm = tag == 1 || (tag == 0xFFFE && size >= 40 && Le16(chunk + 8 + 24) == 1);
            formatOk = pcm && Le16(chunk + 10) == 2 && Le32(chunk + 12) == kRate &&
                       Le16(chunk + 20) == 4 && Le16(chunk + 22) == 16;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !data) {
            data = WaveData{at + 8, size};
        }
        at += 8 + size + (size & 1);
    }
    if (!formatOk)
        return refuse(QStringLiteral("not 44.1 kHz 16-bit stereo PCM"));
    if (!data || data->size % 4 != 0)
        return refuse(QStringLiteral("no whole data chunk"));
    return data;
}

using FlacDecoder = BoundLibrary<FlacDecoderEntryPoints>;

struct DecodeState {
    const std::vector<std::uint8_t>* file = nullptr;
    std::size_t at = 0;
    std::vector<std::uint8_t> pcm;
    bool formatOk = true;
    bool errors = false;
};

FLAC__StreamDecoderReadStatus DecodeRead(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                         size_t* bytes, void* data)
{
    auto& state = *static_cast<DecodeState*>(data);
    const std::size_t n = std::min(*bytes, state.file->size() - state.at);
    std::memcpy(buffer, state.file->data() + state.at, n);
    state.at += n;
    *bytes = n;
    return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                  : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus DecodeWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                           const FLAC__int32* const channels[], void* data)
{
    auto& state = *static_cast<DecodeState*>(data);
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16 ||
        frame->header.sample_rate != kRate) {
        state.formatOk = false;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const std::size_t at = state.pcm.size();
    state.pcm.resize(at + frame->header.blocksize * 4);
    std::uint8_t* out = state.pcm.data() + at;
    for (unsigned i = 0; i < frame->header.blocksize; ++i)
        for (int c = 0; c < 2; ++c) {
            const auto value = static_cast<std::uint16_t>(channels[c][i]);
            *out++ = static_cast<std::uint8_t>(value & 0xFF);
            *out++ = static_cast<std::uint8_t>(value >> 8);
        }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void DecodeError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data)
{
    static_cast<DecodeState*>(data)->errors = true;
}

std::optional<std::vector<std::uint8_t>> DecodeFlac(const std::vector<std::uint8_t>& file,
                                                    const QString& path, QString* error)
{
    const auto flac = CurrentBinding<FlacDecoderEntryPoints>();
    if (!flac->Loaded()) {
        *error = QString::fromStdString(flac->NotLoadedMessage());
        return std::nullopt;
    }
    FLAC__StreamDecoder* decoder = flac->decoder_new();
    if (!decoder) {
        *error = QStringLiteral("%1: the FLAC decoder could not be made").arg(path);
        return std::nullopt;
    }
    DecodeState state;
    state.file = &file;
    flac->set_md5_checking(decoder, true);
    bool ok =
        flac->init_stream(decoder, &DecodeRead, nullptr, nullptr, nullptr, nullptr, &DecodeWrite,
                          nullptr, &DecodeError, &state) == FLAC__STREAM_DECODER_INIT_STATUS_OK;
    ok = ok && flac->process(decoder);
    // finish is false when the decoded audio does not have the file's MD5.
    const bool md5Ok = flac->finish(decoder);
    flac->decoder_delete(decoder);
    if (!state.formatOk) {
        *error = QStringLiteral("%1: not 44.1 kHz 16-bit stereo").arg(path);
        return std::nullopt;
    }
    if (!ok || state.errors || !md5Ok) {
        *error = QStringLiteral("%1: the FLAC stream is damaged (decoding errors or an MD5 "
                                "that does not match)")
                     .arg(path);
        return std::nullopt;
    }
    return std::move(state.pcm);
}

struct EncodeState {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
};

FLAC__StreamEncoderWriteStatus EncodeWrite(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                           size_t bytes, uint32_t, uint32_t, void* data)
{
    auto& state = *static_cast<EncodeState*>(data);
    if (state.at + bytes > state.bytes.size())
        state.bytes.resize(state.at + bytes);
    std::memcpy(state.bytes.data() + state.at, buffer, bytes);
    state.at += bytes;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus EncodeSeek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                         void* data)
{
    auto& state = *static_cast<EncodeState*>(data);
    if (offset > state.bytes.size())
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    state.at = static_cast<std::size_t>(offset);
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus EncodeTell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                         void* data)
{
    *offset = static_cast<const EncodeState*>(data)->at;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

std::optional<std::vector<std::uint8_t>> EncodeFlac(const std::vector<std::uint8_t>& pcm,
                                                    QString* error)
{
    const auto flac = CurrentBinding<FLACEntryPoints>();
    if (!flac->Loaded()) {
        *error = QString::fromStdString(flac->NotLoadedMessage());
        return std::nullopt;
    }
    FLAC__StreamEncoder* encoder = flac->encoder_new();
    if (!encoder) {
        *error = QStringLiteral("Failed to initialize FLAC encoder.");
        return std::nullopt;
    }
    const std::size_t frames = pcm.size() / 4;
    flac->set_channels(encoder, 2);
    flac->set_bits_per_sample(encoder, 16);
    flac->set_sample_rate(encoder, kRate);
    flac->set_compression_level(encoder, 5);
    flac->set_verify(encoder, true);
    flac->set_total_samples_estimate(encoder, frames);
    EncodeState state;
    bool ok = flac->init_stream(encoder, &EncodeWrite, &EncodeSeek, &EncodeTell, nullptr, &state) ==
              FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    std::vector<FLAC__int32> block;
    constexpr std::size_t kBlock = 4096;
    for (std::size_t first = 0; ok && first < frames; first += kBlock) {
        const std::size_t n = std::min(kBlock, frames - first);
        block.resize(2 * n);
        for (std::size_t i = 0; i < 2 * n; ++i)
            block[i] = static_cast<std::int16_t>(Le16(pcm.data() + 4 * first + 2 * i));
        ok = flac->process_interleaved(encoder, block.data(), static_cast<uint32_t>(n));
    }
    ok = flac->finish(encoder) && ok;
    flac->encoder_delete(encoder);
    if (!ok) {
        *error = QStringLiteral("Failed to encode data.");
        return std::nullopt;
    }
    return std::move(state.bytes);
}

// An APE file's PCM through FFmpeg: a reader independent of our encoder.
std::optional<std::vector<std::uint8_t>> DecodeApe(const QString& path, QString* error)
{
    try {
        const std::filesystem::path file(QFile::encodeName(path).toStdString());
        if (disc::SniffDecodedKind(file) != disc::DecodedKind::Ape) {
            *error = QStringLiteral("%1: not an APE file").arg(path);
            return std::nullopt;
        }
        const std::unique_ptr<disc::ImageFile> image = disc::OpenDecodedImageFile(
            file, disc::DecodedKind::Ape, QFileInfo(path).fileName().toStdString());
        std::vector<std::uint8_t> pcm(static_cast<std::size_t>(image->Bytes()));
        constexpr std::size_t kPiece = 1 << 20;
        std::string readError;
        for (std::size_t at = 0; at < pcm.size(); at += kPiece)
            if (!image->Read(static_cast<std::int64_t>(at), std::min(kPiece, pcm.size() - at),
                             pcm.data() + at, readError)) {
                *error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(readError));
                return std::nullopt;
            }
        return pcm;
    } catch (const std::exception& e) {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

// The compression level an APE file was made with, so the repaired file is
// made alike; the usual one when the header does not say.
int ApeCompressionLevel(const std::vector<std::uint8_t>& file)
{
    constexpr int kUsual = 2000;
    if (file.size() < 16 || std::memcmp(file.data(), "MAC ", 4) != 0 ||
        Le16(file.data() + 4) < 3980)
        return kUsual;
    const std::size_t header = Le32(file.data() + 8);
    if (header > file.size() - 2)
        return kUsual;
    const int level = Le16(file.data() + header);
    return level == 1000 || level == 2000 || level == 3000 || level == 4000 ? level : kUsual;
}

// Where an APE file's tags begin: an APEv2 tag (its header included) and an
// ID3v1 tag after it, as tag writers append them.
std::size_t ApeTagsBegin(const std::vector<std::uint8_t>& file)
{
    std::size_t end = file.size();
    if (end >= 128 && std::memcmp(file.data() + end - 128, "TAG", 3) == 0)
        end -= 128;
    if (end >= 32 && std::memcmp(file.data() + end - 32, "APETAGEX", 8) == 0) {
        const std::size_t size = Le32(file.data() + end - 32 + 12);
        const bool hasHeader = (Le32(file.data() + end - 32 + 20) & 0x80000000u) != 0;
        const std::size_t tag = size + (hasHeader ? 32 : 0);
        if (size >= 32 && tag <= end)
            return end - tag;
    }
    return end;
}

// Our APE library writes the file itself: into `scratch`, read back and removed.
std::optional<std::vector<std::uint8_t>> EncodeApe(const std::vector<std::uint8_t>& pcm, int level,
                                                   const QString& scratch, QString* error)
{
    if (const auto binding = MACDllBinding(); !binding->Loaded()) {
        *error = QString::fromStdString(binding->NotLoadedMessage());
        return std::nullopt;
    }
    if (MACDll().FillWaveFormatEx == nullptr || pcm.size() > 0x7FFFFFFFu) {
        *error = QStringLiteral("%1: the APE library cannot encode it").arg(scratch);
        return std::nullopt;
    }
    int result = 0;
    try {
        TWaveFormatEx format{};
        MACDll().FillWaveFormatEx(&format, kRate, 16, 2);
        TAPECompress compressor;
        result = compressor.Start(QFile::encodeName(scratch).constData(), &format,
                                  static_cast<int>(pcm.size()), level, nullptr, -1);
        for (std::size_t done = 0; result == 0 && done < pcm.size();) {
            int room = 0;
            unsigned char* target = compressor.LockBuffer(&room);
            const std::size_t piece =
                std::min(static_cast<std::size_t>(std::max(room, 0)), pcm.size() - done);
            if (piece == 0 || target == nullptr) {
                result = -1;
                break;
            }
            std::memcpy(target, pcm.data() + done, piece);
            result = compressor.UnlockBuffer(static_cast<int>(piece));
            done += piece;
        }
        if (result == 0)
            result = compressor.Finish(nullptr, 0, 0);
    } catch (const std::exception& e) {
        *error = QStringLiteral("%1: %2").arg(scratch, QString::fromStdString(e.what()));
        QFile::remove(scratch);
        return std::nullopt;
    }
    auto bytes = result == 0 ? ReadWholeFile(scratch, error) : std::nullopt;
    if (result != 0)
        *error = QStringLiteral("%1: APE encoding failed: %2")
                     .arg(scratch, QString::fromStdString(APEErrorText(result)));
    QFile::remove(scratch);
    return bytes;
}

// A FLAC file's metadata blocks: [begin, end) of each, with its type.
struct FlacBlock {
    int type = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
};

bool FlacBlocks(const std::vector<std::uint8_t>& file, std::vector<FlacBlock>& blocks,
                std::size_t& audioBegin)
{
    if (file.size() < 4 || std::memcmp(file.data(), "fLaC", 4) != 0)
        return false;
    std::size_t at = 4;
    for (bool last = false; !last;) {
        if (at + 4 > file.size())
            return false;
        last = (file[at] & 0x80) != 0;
        const std::size_t size = (static_cast<std::size_t>(file[at + 1]) << 16) |
                                 (static_cast<std::size_t>(file[at + 2]) << 8) | file[at + 3];
        if (size > file.size() - at - 4)
            return false;
        blocks.push_back(FlacBlock{file[at] & 0x7F, at, at + 4 + size});
        at += 4 + size;
    }
    audioBegin = at;
    return true;
}

// The new file: its own STREAMINFO and frames, and every other metadata block
// of the old file (tags, pictures, padding) but its seek table, whose points
// are the old frames'.
std::optional<std::vector<std::uint8_t>> SpliceFlac(const std::vector<std::uint8_t>& old,
                                                    const std::vector<std::uint8_t>& fresh)
{
    std::vector<FlacBlock> oldBlocks, freshBlocks;
    std::size_t oldAudio = 0, freshAudio = 0;
    if (!FlacBlocks(old, oldBlocks, oldAudio) || !FlacBlocks(fresh, freshBlocks, freshAudio) ||
        freshBlocks.empty() || freshBlocks[0].type != FLAC__METADATA_TYPE_STREAMINFO)
        return std::nullopt;
    std::vector<const std::vector<std::uint8_t>*> sources{&fresh};
    std::vector<FlacBlock> kept{freshBlocks[0]};
    std::vector<bool> fromOld{false};
    for (const FlacBlock& block : oldBlocks)
        if (block.type != FLAC__METADATA_TYPE_STREAMINFO &&
            block.type != FLAC__METADATA_TYPE_SEEKTABLE) {
            kept.push_back(block);
            fromOld.push_back(true);
        }
    std::vector<std::uint8_t> out{'f', 'L', 'a', 'C'};
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::vector<std::uint8_t>& source = fromOld[i] ? old : fresh;
        const std::size_t at = out.size();
        out.insert(out.end(), source.begin() + static_cast<long>(kept[i].begin),
                   source.begin() + static_cast<long>(kept[i].end));
        out[at] = static_cast<std::uint8_t>((out[at] & 0x7F) | (i + 1 == kept.size() ? 0x80 : 0));
    }
    out.insert(out.end(), fresh.begin() + static_cast<long>(freshAudio), fresh.end());
    return out;
}

std::optional<std::vector<std::uint8_t>>
Rebuild(const QString& path, const std::vector<std::uint8_t>& pcm, QString* error)
{
    auto old = ReadWholeFile(path, error);
    if (!old)
        return std::nullopt;
    switch (RepairFileKindOf(path)) {
    case RepairFileKind::Wave: {
        const auto data = FindWaveData(*old, path, error);
        if (!data)
            return std::nullopt;
        if (data->size != pcm.size()) {
            *error = QStringLiteral("%1 changed its length").arg(path);
            return std::nullopt;
        }
        std::memcpy(old->data() + data->begin, pcm.data(), pcm.size());
        return old;
    }
    case RepairFileKind::Flac: {
        const auto fresh = EncodeFlac(pcm, error);
        if (!fresh)
            return std::nullopt;
        auto spliced = SpliceFlac(*old, *fresh);
        if (!spliced)
            *error = QStringLiteral("%1: its FLAC metadata cannot be read").arg(path);
        return spliced;
    }
    case RepairFileKind::Ape: {
        auto fresh = EncodeApe(pcm, ApeCompressionLevel(*old),
                               RepairTemporaryPath(path) + QStringLiteral(".ape"), error);
        if (!fresh)
            return std::nullopt;
        // The old file's tags after the new audio.
        fresh->insert(fresh->end(), old->begin() + static_cast<long>(ApeTagsBegin(*old)),
                      old->end());
        return fresh;
    }
    case RepairFileKind::Unsupported: break;
    }
    *error = QStringLiteral("%1 is not a WAV, FLAC or APE file").arg(path);
    return std::nullopt;
}

bool WriteSynced(const QString& path, const std::vector<std::uint8_t>& bytes, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = QStringLiteral("%1 cannot be written: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok) {
        *error = QStringLiteral("%1 cannot be written: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(savedErrno)));
        ::unlink(name.constData());
    }
    return ok;
}

void SyncFolder(const QString& file)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

RepairFileKind RepairFileKindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("wav"))
        return RepairFileKind::Wave;
    if (suffix == QStringLiteral("flac"))
        return RepairFileKind::Flac;
    if (suffix == QStringLiteral("ape"))
        return RepairFileKind::Ape;
    return RepairFileKind::Unsupported;
}

std::optional<std::vector<std::uint8_t>> ReadRepairPcm(const QString& path, QString* error)
{
    const RepairFileKind kind = RepairFileKindOf(path);
    if (kind == RepairFileKind::Unsupported) {
        *error = QStringLiteral("%1 is not a WAV, FLAC or APE file").arg(path);
        return std::nullopt;
    }
    if (kind == RepairFileKind::Ape)
        return DecodeApe(path, error);
    const auto file = ReadWholeFile(path, error);
    if (!file)
        return std::nullopt;
    if (kind == RepairFileKind::Flac)
        return DecodeFlac(*file, path, error);
    const auto data = FindWaveData(*file, path, error);
    if (!data)
        return std::nullopt;
    return std::vector<std::uint8_t>(file->begin() + static_cast<long>(data->begin),
                                     file->begin() + static_cast<long>(data->begin + data->size));
}

QString RepairTemporaryPath(const QString& path)
{
    const QFileInfo info(path);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() +
                               QStringLiteral(".sonfeld-repair"));
}

bool RewriteRepairedFiles(std::vector<RepairRewrite>& files, QString* error,
                          const RewriteHook& hook)
{
    for (RepairRewrite& file : files) {
        const QString temporary = RepairTemporaryPath(file.path);
        const auto bytes = Rebuild(file.path, file.pcm, error);
        if (!bytes || !WriteSynced(temporary, *bytes, error))
            return false;
        // What was written is read back as any reader will see it.
        QString readError;
        const auto raw = ReadWholeFile(temporary, &readError);
        std::optional<std::vector<std::uint8_t>> written;
        if (raw && RepairFileKindOf(file.path) == RepairFileKind::Ape)
            written = DecodeApe(temporary, &readError);
        else if (raw && RepairFileKindOf(file.path) == RepairFileKind::Flac)
            written = DecodeFlac(*raw, temporary, &readError);
        else if (raw)
            if (const auto data = FindWaveData(*raw, temporary, &readError))
                written.emplace(raw->begin() + static_cast<long>(data->begin),
                                raw->begin() + static_cast<long>(data->begin + data->size));
        if (!written || *written != file.pcm) {
            *error = QStringLiteral("%1: the rewritten file does not read back as the corrected "
                                    "audio")
                         .arg(file.path);
            QFile::remove(temporary);
            return false;
        }
        if (hook)
            hook(file.path, RewriteStep::TemporaryWritten);
        if (::rename(QFile::encodeName(temporary).constData(),
                     QFile::encodeName(file.path).constData()) != 0) {
            *error = QStringLiteral("%1 cannot be replaced: %2")
                         .arg(file.path, QString::fromLocal8Bit(std::strerror(errno)));
            QFile::remove(temporary);
            return false;
        }
        SyncFolder(file.path);
        if (hook)
            hook(file.path, RewriteStep::Renamed);
    }
    return true;
}

} // namespace sonfeld::app
