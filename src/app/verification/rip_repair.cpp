#include "rip_repair.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <map>

#include "app/text/texts.h"
#include "ctdb_lookup.h"
#include "ctdb_repair_job.h"

namespace sonfeld::app {
namespace {

QString Time(qint64 sample)
{
    const qint64 sector = sample / 588;
    return QStringLiteral("%1:%2.%3")
        .arg(sector / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(sector / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sector % 75, 2, 10, QLatin1Char('0'));
}

QString Hex(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

// The rip log of a folder, passing over repair logs.
QString FindLog(const QString& folder, QString* error)
{
    QStringList logs;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files))
        if (!name.endsWith(QStringLiteral(".repair.log")))
            logs << name;
    if (logs.size() != 1) {
        *error =
            logs.isEmpty()
                ? QStringLiteral("%1 holds no rip log").arg(folder)
                : QStringLiteral("%1 holds several rip logs: name the one to repair").arg(folder);
        return {};
    }
    return QDir(folder).filePath(logs.first());
}

} // namespace

std::optional<RepairSource> ReadRepairSource(const QString& path, QString* error, bool audioKept,
                                             bool* lossyRefused)
{
    RepairSource source;
    source.logPath = QFileInfo(path).isDir() ? FindLog(path, error) : path;
    if (source.logPath.isEmpty())
        return std::nullopt;
    QFile file(source.logPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1024 * 1024) {
        *error = QStringLiteral("%1 cannot be read as a rip log").arg(source.logPath);
        return std::nullopt;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    static const QRegularExpression tocRow(QStringLiteral(
        R"(^\s*(\d+) \|\s*[\d:.]+ \|\s*[\d:.]+ \|\s*[\d:.]+ \|\s*(-?\d+) \|\s*(\d+)( \(数据\))?\s*$)"));
    static const QRegularExpression trackHead(QStringLiteral(R"(^音轨 (\d+)\s*$)"));
    static const QRegularExpression fileLine(QStringLiteral(R"(^  文件: (.+?)\s*$)"));
    std::vector<int> numbers;
    std::map<int, QString> files;
    bool inToc = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.trimmed() == QStringLiteral("目录")) {
            inToc = true;
            continue;
        }
        if (inToc) {
            if (const auto row = tocRow.match(line); row.hasMatch()) {
                numbers.push_back(row.captured(1).toInt());
                source.toc.starts.push_back(row.captured(2).toInt());
                source.toc.data.push_back(!row.captured(4).isEmpty());
                source.toc.leadOut = row.captured(2).toInt() + row.captured(3).toInt();
                continue;
            }
            if (!line.contains(QLatin1Char('|')))
                inToc = false;
        }
        if (const auto head = trackHead.match(line); head.hasMatch() && i + 1 < lines.size())
            if (const auto name = fileLine.match(lines[i + 1]); name.hasMatch())
                files[head.captured(1).toInt()] = name.captured(1);
    }
    if (source.toc.starts.empty() || source.toc.AudioTrackCount() == 0) {
        *error = QStringLiteral("%1 has no table of contents").arg(source.logPath);
        return std::nullopt;
    }
    const QDir folder = QFileInfo(source.logPath).absoluteDir();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (source.toc.data[i])
            continue;
        const auto found = files.find(numbers[i]);
        if (found == files.end() || found->second == QStringLiteral("未知")) {
            *error = QStringLiteral("Track %1 was not ripped: a repair needs every audio track")
                         .arg(numbers[i]);
            return std::nullopt;
        }
        const QString trackPath = folder.absoluteFilePath(found->second);
        if (!QFileInfo(trackPath).isFile()) {
            *error = QStringLiteral("%1 is missing").arg(trackPath);
            return std::nullopt;
        }
        if (RepairFileKindOf(trackPath) == RepairFileKind::Unsupported && !audioKept) {
            *error = QStringLiteral("%1 is lossy: its audio is not the disc's, so a lossy rip "
                                    "can be repaired only from the window right after the rip, "
                                    "while its audio is kept; nothing was changed")
                         .arg(trackPath);
            if (lossyRefused != nullptr)
                *lossyRefused = true;
            return std::nullopt;
        }
        source.files.push_back(RepairTrackFile{numbers[i], trackPath, 0, 0});
    }
    return source;
}

struct RipRepair::Read {
    RepairSource source;
    std::shared_ptr<ctdb::CtdbStreamAnalysis> analysis;
    QString error;
};

RipRepair::RipRepair(QObject* parent)
    : QObject(parent), lookup_(new CtdbLookup(this)), job_(new CtdbRepairJob(this))
{
    connect(lookup_, &CtdbLookup::Finished, this, &RipRepair::LookedUp);
    connect(job_, &CtdbRepairJob::Finished, this, &RipRepair::Planned);
}

RipRepair::~RipRepair() = default;

void RipRepair::Finish(RipRepairOutcome::Result result, const QString& message,
                       bool lossyWithoutAudio)
{
    RipRepairOutcome outcome;
    outcome.result = result;
    outcome.message = message;
    outcome.lossyWithoutAudio = lossyWithoutAudio;
    kept_.reset();
    running_ = false;
    emit Finished(outcome);
}

void RipRepair::Start(const QString& ripPath, const QString& serverBase, int timeoutMs,
                      std::shared_ptr<RepairAudioSource> kept)
{
    running_ = true;
    serverBase_ = serverBase;
    timeoutMs_ = timeoutMs;
    kept_ = std::move(kept);
    auto read = std::make_shared<Read>();
    QString error;
    bool lossy = false;
    if (auto source = ReadRepairSource(ripPath, &error, kept_ != nullptr, &lossy)) {
        read->source = std::move(*source);
    } else {
        QMetaObject::invokeMethod(
            this, [this, error, lossy] { Finish(RipRepairOutcome::Result::Failed, error, lossy); },
            Qt::QueuedConnection);
        return;
    }
    emit Progress(QStringLiteral("Reading %1 files").arg(read->source.files.size()));
    QThread* worker = QThread::create([read, kept = kept_] {
        read->analysis = std::make_shared<ctdb::CtdbStreamAnalysis>(
            ctdb::CtdbLayout::FromToc(read->source.toc), ctdb::kMaxNpar);
        if (!read->analysis->LayoutError().empty()) {
            read->error = QString::fromStdString(read->analysis->LayoutError());
            return;
        }
        qint64 at = 0;
        for (RepairTrackFile& file : read->source.files) {
            const auto pcm = kept ? kept->TrackPcm(file.number, &read->error)
                                  : ReadRepairPcm(file.path, &read->error);
            if (!pcm)
                return;
            file.firstByte = at;
            file.bytes = static_cast<qint64>(pcm->size());
            at += file.bytes;
            read->analysis->Update(pcm->data(), pcm->size());
        }
        if (!read->analysis->Complete())
            read->error = QStringLiteral("The files hold %1 samples, the disc's audio tracks %2: "
                                         "they are not this disc's whole rip")
                              .arg(at / 4)
                              .arg(read->analysis->Layout().samples);
    });
    connect(worker, &QThread::finished, this, [this, read] { Analysed(read); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void RipRepair::Analysed(const std::shared_ptr<Read>& read)
{
    if (!read->error.isEmpty()) {
        Finish(RipRepairOutcome::Result::Failed, read->error);
        return;
    }
    source_ = read->source;
    analysis_ = read->analysis;
    emit Progress(QStringLiteral("Looking the disc up in CTDB"));
    lookup_->Start(serverBase_, QString::fromStdString(ctdb::CtdbTocString(source_.toc)),
                   timeoutMs_);
}

void RipRepair::LookedUp(const CtdbLookupResult& result)
{
    if (result.outcome == CtdbLookupResult::Outcome::Failed) {
        Finish(RipRepairOutcome::Result::Failed,
               QStringLiteral("CTDB could not be reached (%1); nothing was changed")
                   .arg(result.error));
        return;
    }
    if (result.outcome == CtdbLookupResult::Outcome::DiscNotFound || result.entries.empty()) {
        Finish(RipRepairOutcome::Result::NotRepairable,
               QStringLiteral("CTDB does not know this disc; nothing was changed"));
        return;
    }
    const ctdb::CtdbEntry* best = nullptr;
    int bestOffset = 0;
    for (const ctdb::CtdbEntry& entry : result.entries) {
        const ctdb::CtdbEntryCheck check = ctdb::CheckEntry(*analysis_, source_.toc, entry);
        if (check.status == ctdb::CtdbEntryStatus::Accurate) {
            Finish(RipRepairOutcome::Result::AlreadyExact,
                   QStringLiteral("CTDB confirms the rip as it is (confidence %1); nothing "
                                  "to repair")
                       .arg(entry.confidence));
            return;
        }
        if (check.status == ctdb::CtdbEntryStatus::HasErrors && !entry.parity.empty() &&
            (!best || entry.confidence > best->confidence)) {
            best = &entry;
            bestOffset = check.offset;
        }
    }
    if (!best) {
        Finish(RipRepairOutcome::Result::NotRepairable,
               QStringLiteral("No CTDB entry matches this rip with recovery data; nothing was "
                              "changed"));
        return;
    }
    entry_ = *best;
    offset_ = bestOffset;
    const QUrl url = CtdbRecoveryUrl(serverBase_, QString::fromStdString(entry_.parity));
    emit Progress(QStringLiteral("Fetching recovery data of entry %1 (offset %2)")
                      .arg(entry_.id)
                      .arg(offset_));
    job_->Start(url, entry_, offset_, analysis_, timeoutMs_);
}

void RipRepair::Planned(const CtdbRepairResult& result)
{
    if (!result.error.isEmpty()) {
        Finish(RipRepairOutcome::Result::Failed,
               QStringLiteral("The recovery data could not be fetched (%1); nothing was changed")
                   .arg(result.error));
        return;
    }
    if (!result.plan.proven) {
        Finish(RipRepairOutcome::Result::NotRepairable,
               QStringLiteral("The recovery data cannot repair this rip (%1); nothing was "
                              "changed")
                   .arg(QString::fromStdString(result.plan.reason)));
        return;
    }
    emit Progress(QStringLiteral("Repair proven (CRC %1); rewriting the files")
                      .arg(Hex(result.plan.crcAfter)));
    auto outcome = std::make_shared<RipRepairOutcome>();
    const RepairSource source = source_;
    const ctdb::CtdbEntry entry = entry_;
    const ctdb::CtdbRepairPlan plan = result.plan;
    QThread* worker = QThread::create([outcome, source, entry, plan, kept = kept_] {
        std::vector<RepairRewrite> rewrites;
        std::vector<int> tracks; // of each rewrite
        rewrites.reserve(source.files.size());
        tracks.reserve(source.files.size());
        QString error;
        for (const RepairTrackFile& file : source.files) {
            const auto first = std::lower_bound(
                plan.corrections.begin(), plan.corrections.end(), file.firstByte / 2,
                [](const ctdb::CtdbCorrection& c, qint64 word) { return c.word < word; });
            if (first == plan.corrections.end() || first->word >= (file.firstByte + file.bytes) / 2)
                continue;
            auto pcm =
                kept ? kept->TrackPcm(file.number, &error) : ReadRepairPcm(file.path, &error);
            if (!pcm || static_cast<qint64>(pcm->size()) != file.bytes) {
                outcome->result = RipRepairOutcome::Result::Failed;
                outcome->message =
                    (pcm ? QStringLiteral("%1 changed while it was repaired").arg(file.path)
                         : error) +
                    QStringLiteral("; nothing was changed");
                return;
            }
            ctdb::ApplyRepairToPiece(plan, file.firstByte, pcm->data(), pcm->size());
            rewrites.push_back(RepairRewrite{file.path, std::move(*pcm)});
            tracks.push_back(file.number);
        }
        QStringList names;
        for (const RepairRewrite& rewrite : rewrites)
            names << QFileInfo(rewrite.path).fileName();
        std::size_t done = 0;
        bool ok = true;
        if (kept) {
            // Encoded again from the corrected audio, one file after the other.
            for (std::size_t i = 0; i < rewrites.size(); ++i) {
                ok = kept->RewriteTrack(tracks[i], rewrites[i].pcm, &error);
                if (!ok)
                    break;
                ++done;
            }
        } else {
            ok = RewriteRepairedFiles(rewrites, &error, [&done](const QString&, RewriteStep step) {
                done += step == RewriteStep::Renamed;
            });
        }
        // The log is written whatever happened: a half-done rewrite names what changed.
        const QFileInfo log(source.logPath);
        outcome->repairLogPath =
            log.absoluteDir().filePath(log.completeBaseName() + QStringLiteral(".repair.log"));
        QStringList lines = RepairLogLines(source, entry, plan, names.mid(0, qsizetype(done)));
        if (!ok)
            lines << QString() << QStringLiteral("重写失败: %1").arg(error);
        QFile file(outcome->repairLogPath);
        const bool logged =
            file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) > 0 &&
            file.flush();
        outcome->rewrittenFiles = names.mid(0, qsizetype(done));
        outcome->corrections = plan.corrections.size();
        if (!ok) {
            outcome->result = RipRepairOutcome::Result::Failed;
            outcome->message = done == 0 ? error + QStringLiteral("; nothing was changed")
                                         : error + QStringLiteral("; %1 of %2 files were repaired")
                                                       .arg(done)
                                                       .arg(rewrites.size());
            return;
        }
        outcome->result = RipRepairOutcome::Result::Repaired;
        std::size_t samples = 0;
        for (std::size_t i = 0; i < plan.corrections.size(); ++i)
            samples += i == 0 || plan.corrections[i].word / 2 != plan.corrections[i - 1].word / 2;
        outcome->message =
            QStringLiteral("Repaired %1 samples (%2 16-bit values) in %3 file(s), proven by "
                           "CTDB's disc CRC %4%5")
                .arg(samples)
                .arg(plan.corrections.size())
                .arg(rewrites.size())
                .arg(Hex(plan.crcAfter))
                .arg(logged ? QString()
                            : QStringLiteral("; the repair log %1 could not be written")
                                  .arg(outcome->repairLogPath));
    });
    connect(worker, &QThread::finished, this, [this, outcome] {
        running_ = false;
        kept_.reset();
        emit Finished(*outcome);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

QStringList RepairLogLines(const RepairSource& source, const ctdb::CtdbEntry& entry,
                           const ctdb::CtdbRepairPlan& plan, const QStringList& rewritten)
{
    QStringList lines;
    lines << QStringLiteral("%1 %2 修复日志").arg(text::kProgramName, text::kVersion)
          << QStringLiteral("日期: %1").arg(QDateTime::currentDateTime().toString(Qt::ISODate))
          << QStringLiteral("提取日志: %1").arg(QFileInfo(source.logPath).fileName())
          << QStringLiteral("CTDB 条目: %1 (可信度 %2)，偏移 %3，恢复数据 npar %4")
                 .arg(entry.id)
                 .arg(entry.confidence)
                 .arg(plan.offset)
                 .arg(plan.npar)
          << QStringLiteral("光盘 CRC: 修复前 %1，修复后 %2，数据库 %3")
                 .arg(Hex(plan.crcBefore), Hex(plan.crcAfter), Hex(entry.crc32))
          << QStringLiteral("修复的文件: %1")
                 .arg(rewritten.isEmpty() ? QStringLiteral("无")
                                          : rewritten.join(QStringLiteral(", ")));
    lines << QString() << QStringLiteral("修复的扇区 (自第一条音轨的 INDEX 01 起):");
    for (const auto& [first, last] : ctdb::AffectedSectors(plan))
        lines << QStringLiteral("  %1-%2").arg(first).arg(last);
    lines << QString()
          << QStringLiteral("修复的位置 (%1 个字): 音轨 | 文件中的采样 | 时间 | 声道")
                 .arg(plan.corrections.size());
    std::size_t track = 0;
    for (const ctdb::CtdbCorrection& correction : plan.corrections) {
        const qint64 byte = 2 * correction.word;
        while (track + 1 < source.files.size() &&
               byte >= source.files[track].firstByte + source.files[track].bytes)
            ++track;
        const RepairTrackFile& file = source.files[track];
        const qint64 sample = (byte - file.firstByte) / 4;
        lines << QStringLiteral("  %1 | %2 | %3 | %4")
                     .arg(file.number, 2)
                     .arg(sample, 9)
                     .arg(Time(sample))
                     .arg(correction.word % 2 == 0 ? QStringLiteral("左") : QStringLiteral("右"));
    }
    return lines;
}

} // namespace sonfeld::app
