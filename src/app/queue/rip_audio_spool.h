#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/files/folder_lock.h"
#include "app/formats/output_formats.h"
#include "app/verification/rip_repair.h"
#include "audio/core/pass_through_input.h"
#include "audio/formats/tags/replay_gain.h"
#include "audio/formats/tags/track_tags.h"

namespace sonfeld {
class TACSFileOut;
} // namespace sonfeld

namespace sonfeld::app {

// The audio of a lossy rip as the drive gave it (the samples its checksums
// saw), one file per track in a private temporary folder, about 10 MB a
// minute. Its files are not the disc's audio, so a repair reads and corrects
// this instead and encodes the files again, with the encoder set up as the
// rip's was. It lasts as long as the window remembers the rip. Failing to keep
// it (a full disk) never fails the rip: the audio is dropped and a repair says why.
// Folders that killed programs left behind are removed when the next one is made.
class TRipAudioSpool final : public RepairAudioSource {
public:
    // UI thread: the rip's format with the stored encoder settings and the
    // run's compression level, as the queue sets up its outputs.
    TRipAudioSpool(const TOutputFormat& format, std::optional<int> level);
    ~TRipAudioSpool() override;
    TRipAudioSpool(const TRipAudioSpool&) = delete;
    TRipAudioSpool& operator=(const TRipAudioSpool&) = delete;

    QString Folder() const;
    // Why the audio was dropped; empty while it is kept.
    QString Problem() const;

    // A read of a track begins, goes on and ends: any thread, one read at a time.
    void BeginRead(int track);
    void Add(const void* data, std::size_t size);
    void EndRead();

    // UI thread: the track's last read became its file, tagged by the encoder
    // with encoderTags and afterwards with fileTags when there are any;
    // deEmphasised: the file was encoded through the de-emphasis filter, so
    // its new encoding is too.
    void Keep(int track, const QString& file, const TTrackTags& encoderTags,
              const std::optional<TrackTags>& fileTags, bool deEmphasised);
    void SetLogPath(const QString& log);
    // UI thread: the album's ReplayGain the queue wrote into these files at its end.
    void SetAlbumGain(const std::vector<std::string>& files, const ReplayGainValues& album,
                      int id3Version);

    QString LogPath() const override;
    std::optional<std::vector<std::uint8_t>> TrackPcm(int track, QString* error) override;
    bool RewriteTrack(int track, const std::vector<std::uint8_t>& pcm, QString* error) override;

private:
    struct TKept {
        QString File;
        TTrackTags EncoderTags;
        std::optional<TrackTags> FileTags;
        std::optional<ReplayGainValues> AlbumGain;
        int Id3Version = 4;
        bool DeEmphasised = false;
    };

    QString PcmPath(int track) const;
    QString ReadingPath(int track) const;
    // Removes every kept track; the lock is held.
    void DropLocked(const QString& why);
    bool Encode(const TKept& kept, const std::vector<std::uint8_t>& pcm, const QString& file,
                QString* error);

    mutable std::mutex mutex_;
    QTemporaryDir folder_;
    TFolderLock lock_; // held while the folder is in use: a killed program's folder has none
    const TOutputFormat& format_;
    struct TEncodeEnd;
    std::unique_ptr<TACSFileOut> encoder_;
    std::shared_ptr<TEncodeEnd> encodeEnd_; // the encoder's events report here
    QString encoderProblem_;
    QString problem_;
    std::FILE* reading_ = nullptr;
    int readingTrack_ = 0;
    std::map<int, TKept> kept_;
    QString log_;
};

// Hands every byte of its source on unchanged and gives a copy to the spool
// set, if any: the one place both per-track queues read through. The track
// of a read is asked for when the read opens.
class TSpoolTap final : public TPassThroughInput {
public:
    TSpoolTap(TACSInput* source, std::function<int()> trackOfRead);
    ~TSpoolTap() override;
    TSpoolTap(const TSpoolTap&) = delete;
    TSpoolTap& operator=(const TSpoolTap&) = delete;

    // For the reads that open from now on; null keeps nothing.
    void SetSpool(std::shared_ptr<TRipAudioSpool> spool);

    void OpenInput() override;
    int ReadPCM(void* buffer, int bufferSize) override;
    void CloseInput() override;

private:
    std::function<int()> trackOfRead_;
    std::mutex mutex_;
    std::shared_ptr<TRipAudioSpool> spool_; // for the next read
    std::shared_ptr<TRipAudioSpool> run_;   // the read's own
};

} // namespace sonfeld::app
