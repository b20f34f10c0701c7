#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

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

// Reads the rip log (a file, or the one rip log in a folder): the TOC table
// and every audio track's file, found beside the log. Nothing, with error
// set, when the log names no file for an audio track or a file is lossy.
std::optional<RepairSource> ReadRepairSource(const QString& path, QString* error);

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
};

// Repairs a finished rip from the database's recovery data: reads the rip's
// lossless files, looks the disc up at the CTDBServer base, works out a
// repair against a matching entry with errors, and only when the corrected
// audio has the entry's disc CRC rewrites the files that change and writes
// a repair log beside the rip log, with every repaired position. Finished
// comes once per Start, after Start returned.
class RipRepair : public QObject {
    Q_OBJECT

public:
    explicit RipRepair(QObject* parent = nullptr);
    ~RipRepair() override;

    void Start(const QString& ripPath, const QString& serverBase, int timeoutMs = 30000);
    bool Running() const { return running_; }

signals:
    void Progress(const QString& text);
    void Finished(const sonfeld::app::RipRepairOutcome& outcome);

private:
    struct Read;
    void Analysed(const std::shared_ptr<Read>& read);
    void LookedUp(const CtdbLookupResult& result);
    void Planned(const CtdbRepairResult& result);
    void Finish(RipRepairOutcome::Result result, const QString& message);

    CtdbLookup* lookup_;
    CtdbRepairJob* job_;
    QString serverBase_;
    int timeoutMs_ = 0;
    bool running_ = false;
    RepairSource source_;
    std::shared_ptr<const ctdb::CtdbStreamAnalysis> analysis_;
    ctdb::CtdbEntry entry_;
    int offset_ = 0;
};

// The repair log's text: the entry, the CRCs and every corrected sample as
// track, sample in the track's file, time in it and channel.
QStringList RepairLogLines(const RepairSource& source, const ctdb::CtdbEntry& entry,
                           const ctdb::CtdbRepairPlan& plan, const QStringList& rewritten);

} // namespace sonfeld::app
