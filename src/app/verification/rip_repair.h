#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "audio/cd/ctdb/ctdb_repair.h"
#include "repair_audio_files.h"

namespace sonfeld::app {

class CtdbLookup;
class CtdbRepairJob;
struct CtdbLookupResult;
struct CtdbRepairResult;

// One ripped track's file and where its audio lies in the disc's audio.
struct RepairTrackFile {
    int number = 0;
    QString path;
    qint64 firstByte = 0; // from index 01 of the first audio track
    qint64 bytes = 0;
};

// A finished rip as its log describes it: the disc's TOC and the files.
struct RepairSource {
    QString logPath;
    ctdb::CtdbToc toc;
    std::vector<RepairTrackFile> files; // every audio track, in order
};

// The audio of a lossy rip as it was read, kept while the window remembers
// the rip: its files are not the disc's audio, so a repair reads and
// corrects this instead and encodes the files again. Called from worker
// threads, one call at a time.
class RepairAudioSource {
public:
    virtual ~RepairAudioSource() = default;
    // The rip log of the rip whose audio this is.
    virtual QString LogPath() const = 0;
    // The track's PCM (16-bit little-endian stereo) as read; nothing, with
    // error set, when it is not kept (why the audio could not be kept).
    virtual std::optional<std::vector<std::uint8_t>> TrackPcm(int track, QString* error) = 0;
    // Writes the track's file again from corrected PCM with the rip's format,
    // encoder settings and tags, through a temporary file and a rename, and
    // corrects the kept audio too. False, with error set, leaves the file.
    virtual bool RewriteTrack(int track, const std::vector<std::uint8_t>& pcm, QString* error) = 0;
};

// Reads the rip log (a file, or the one rip log in a folder): the TOC table
// and every audio track's file, found beside the log. Nothing, with error
// set, when the log names no file for an audio track, or a file is lossy and
// its audio is not kept (lossyRefused is set then).
std::optional<RepairSource> ReadRepairSource(const QString& path, QString* error,
                                             bool audioKept = false, bool* lossyRefused = nullptr);

struct RipRepairOutcome {
    enum class Result {
        Repaired,      // proven and rewritten
        AlreadyExact,  // the database confirms the rip as it is
        NotRepairable, // no proven repair: nothing changed
        Failed,        // the rip could not be read, the server not reached, a write failed
    };
    Result result = Result::Failed;
    QString message; // English, one line
    QStringList rewrittenFiles;
    QString repairLogPath;
    std::size_t corrections = 0;
    // A lossy rip whose audio is no longer kept: nothing could be done.
    bool lossyWithoutAudio = false;
};

// Repairs a finished rip from the database's recovery data: reads the rip's
// lossless files (or a lossy rip's kept audio), looks the disc up at the CTDBServer base, works out
// a repair against a matching entry with errors, and only when the corrected audio has the entry's
// disc CRC rewrites the files that change and writes a repair log beside the rip log, with every
// repaired position. Finished comes once per Start, after Start returned.
class RipRepair : public QObject {
    Q_OBJECT

public:
    explicit RipRepair(QObject* parent = nullptr);
    ~RipRepair() override;

    // kept: a lossy rip's audio, read and corrected instead of its files.
    void Start(const QString& ripPath, const QString& serverBase, int timeoutMs = 30000,
               std::shared_ptr<RepairAudioSource> kept = {});
    bool Running() const { return running_; }

signals:
    void Progress(const QString& text);
    void Finished(const sonfeld::app::RipRepairOutcome& outcome);

private:
    struct Read;
    void Analysed(const std::shared_ptr<Read>& read);
    void LookedUp(const CtdbLookupResult& result);
    void Planned(const CtdbRepairResult& result);
    void Finish(RipRepairOutcome::Result result, const QString& message,
                bool lossyWithoutAudio = false);

    CtdbLookup* lookup_;
    CtdbRepairJob* job_;
    QString serverBase_;
    int timeoutMs_ = 0;
    bool running_ = false;
    RepairSource source_;
    std::shared_ptr<RepairAudioSource> kept_;
    std::shared_ptr<const ctdb::CtdbStreamAnalysis> analysis_;
    ctdb::CtdbEntry entry_;
    int offset_ = 0;
};

// The repair log's text: the entry, the CRCs and every corrected sample as
// track, sample in the track's file, time in it and channel.
QStringList RepairLogLines(const RepairSource& source, const ctdb::CtdbEntry& entry,
                           const ctdb::CtdbRepairPlan& plan, const QStringList& rewritten);

} // namespace sonfeld::app
