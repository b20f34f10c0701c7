#include "rip_records.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/files/record_file.h"
#include "app/text/plain_text.h"
#include "app/text/texts.h"
#include "audio/cd/disc/disc_ids.h"
#include "rip_cue_sheet.h"
#include "rip_log.h"
#include "rip_verification.h"

namespace sonfeld::app {
namespace {

QString ReadingModeText(TCDReadMode mode)
{
    if (mode == rmOldDrive)
        return QStringLiteral("旧光驱模式");
    return mode == rmFast ? QStringLiteral("快速模式") : QStringLiteral("安全模式");
}

// A ripped track's gap whose audio is in no file: the track before it on the
// disc was not ripped, so the sheet can only mark the gap's length.
QString GapInNoFile(const TQueueRecord& record, const disc::Track& onDisc)
{
    if (onDisc.PregapSectors() <= 0 || onDisc.number <= 1)
        return {};
    const auto ripped = [&record](int number) {
        return std::any_of(
            record.Tracks.begin(), record.Tracks.end(),
            [number](const TRecordedTrack& t) { return t.Number == number && t.Ripped; });
    };
    if (!ripped(onDisc.number) || ripped(onDisc.number - 1))
        return {};
    const qint64 gap = onDisc.PregapSectors();
    return QStringLiteral(
               "间隙 %1:%2.%3 在未抓取的音轨 %4 之后，不在任何文件中，CUE 表以 PREGAP 标出")
        .arg(gap / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(gap / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(gap % 75, 2, 10, QLatin1Char('0'))
        .arg(onDisc.number - 1);
}

RipLog MakeLog(const TQueueRecord& record, const TRipVerification& verification)
{
    RipLog log;
    log.programVersion = text::kVersion;
    log.date = QDateTime::currentDateTime();
    // No text may start a line of its own in the log (a forged summary).
    log.driveName = StripControls(record.DriveName);
    log.readOffset = record.ReadOffset;
    log.readingMode = record.ReadingModeText.isEmpty() ? ReadingModeText(record.ReadMode)
                                                       : record.ReadingModeText;
    log.albumTitle = StripControls(record.Album.isEmpty() ? record.AlbumTitle : record.Album);
    log.albumPerformer = StripControls(record.AlbumArtist);
    log.releaseDate = StripControls(record.Date);
    log.genre = StripControls(record.Genre);
    if (const auto id = verification.DiscId())
        log.accurateRipId = AccurateRipIdText(*id);
    log.ctdbTocId = verification.CtdbTocId();
    if (!log.ctdbTocId.isEmpty()) {
        const TCtdbDiscVerdict disc = verification.CtdbDiscVerdict();
        log.ctdbDisc = disc.Verdict;
        log.ctdbDiscCrc = disc.Crc;
        log.ctdbDiscDetail = disc.Detail;
    }
    if (const auto& model = verification.Disc()) {
        log.freedbId = QString::fromStdString(disc::FreedbIdText(disc::ComputeFreedbId(*model)));
        log.musicBrainzId = QString::fromStdString(disc::MusicBrainzId(*model));
        log.catalog = StripControls(QString::fromStdString(model->mcn));
        for (const disc::Track& track : model->tracks)
            log.toc.push_back(RipLogTocEntry{track.number, track.startLsn, track.Sectors(),
                                             track.PregapSectors(), !track.data});
    }
    log.hiddenTrackSectors = record.HiddenTrackSectors;
    log.hiddenTrackInImage = record.HiddenTrackInImage;
    const auto& lookup = verification.Lookup();
    for (const TRecordedTrack& recorded : record.Tracks) {
        RipLogTrack track;
        track.number = recorded.Number;
        track.fileName = StripControls(recorded.FileName);
        track.ripped = recorded.Ripped;
        track.status = recorded.Status;
        track.testCrc = recorded.TestCrc;
        track.readingNotes = recorded.ReadingNotes;
        track.performer = StripControls(recorded.Artist);
        track.deEmphasised = recorded.DeEmphasised;
        if (const disc::Track* onDisc =
                verification.Disc() ? verification.Disc()->FindTrack(recorded.Number) : nullptr) {
            track.isrc = StripControls(QString::fromStdString(onDisc->isrc));
            track.preEmphasis = onDisc->preEmphasis;
            if (const QString gap = GapInNoFile(record, *onDisc); !gap.isEmpty())
                track.sheetNotes << gap;
            // An image's audio that ends inside a sector: the file holds the audio only.
            if (onDisc->paddingSamples > 0)
                track.readingNotes << QStringLiteral("音频在最后一个扇区中间结束：读取时以 %1 "
                                                     "个静音采样补足该扇区，文件中已去掉")
                                          .arg(onDisc->paddingSamples);
        }
        const auto found = verification.Tracks().find(recorded.Number);
        if (recorded.Ripped && found != verification.Tracks().end()) {
            const TTrackVerification& verified = found->second;
            track.checksums = verified.Checksums;
            if (verified.Verdict)
                track.accurateRip = *verified.Verdict;
            else
                track.accurateRipDetail = QStringLiteral("AccurateRip 查询尚未完成");
            if (lookup && lookup->outcome == AccurateRipLookupResult::Outcome::Failed)
                track.accurateRipDetail = lookup->error;
            track.ctdb = verified.Typed.Ctdb;
            if (const auto& ctdbLookup = verification.CtdbLookupAnswer();
                ctdbLookup && ctdbLookup->outcome == CtdbLookupResult::Outcome::Failed)
                track.ctdbDetail = ctdbLookup->error;
            if (verified.Verdict)
                track.proof = verified.Typed.Proof;
            track.otherReads = verified.OtherReads;
            if (recorded.ReRead && verified.Verdict &&
                verified.Verdict->status != verify::AccurateRipStatus::Match &&
                !verified.Typed.Ctdb.Accurate())
                track.readingNotes
                    << QStringLiteral("安全模式重新读取后仍未经 AccurateRip 确认，文件已保留");
            track.paranoia.corrections = verified.Report.Corrected;
            track.paranoia.readErrors = verified.Report.ReadErrors;
            for (const TCDSectorProblem& problem : verified.Report.Problems)
                if (problem.Problem == TCDSectorProblem::Uncorrected)
                    track.paranoia.uncorrectedSectors.push_back(problem.Sector);
        }
        log.tracks.push_back(track);
    }
    return log;
}

CueSheet MakeCueSheet(const TQueueRecord& record, const TRipVerification& verification)
{
    CueSheet sheet;
    sheet.title = record.Album.isEmpty() ? record.AlbumTitle : record.Album;
    sheet.performer = record.AlbumArtist;
    sheet.date = record.Date;
    sheet.genre = record.Genre;
    sheet.program = text::kProgramName + QLatin1Char(' ') + text::kVersion;
    sheet.fileType = record.CueFileType.isEmpty() ? QStringLiteral("WAVE") : record.CueFileType;
    const auto& model = verification.Disc();
    if (model) {
        sheet.catalog = QString::fromStdString(model->mcn);
        sheet.freedbId = QString::fromStdString(disc::FreedbIdText(disc::ComputeFreedbId(*model)));
    }
    for (const TRecordedTrack& recorded : record.Tracks) {
        if (!recorded.Ripped)
            continue;
        CueTrack track;
        track.number = recorded.Number;
        track.fileName = recorded.FileName;
        track.title = recorded.Title;
        track.performer = recorded.Artist;
        const auto found = verification.Tracks().find(recorded.Number);
        if (found != verification.Tracks().end())
            track.fileSectors = found->second.Checksums.samples / verify::kSamplesPerSector;
        if (const disc::Track* onDisc = model ? model->FindTrack(recorded.Number) : nullptr) {
            track.isrc = QString::fromStdString(onDisc->isrc);
            track.preEmphasis = onDisc->preEmphasis;
            track.copyPermitted = onDisc->copyPermitted;
            track.pregapSectors = onDisc->PregapSectors();
        }
        sheet.tracks.push_back(track);
    }
    return sheet;
}

} // namespace

QStringList WriteRipRecords(const TQueueRecord& record, const TRipVerification& verification,
                            bool writeLog, bool writeCueSheet)
{
    QStringList problems;
    // Through a temporary file and a rename, by the folder's exact bytes:
    // a full disk or a name the local encoding cannot spell is reported,
    // never left as an empty or misplaced file.
    if (writeLog) {
        const QString path = RecordFileName(record.Folder, record.Album, QStringLiteral(".log"));
        QString error;
        if (!WriteRecordFile(LocalPath(path), FormatRipLog(MakeLog(record, verification)), &error))
            problems
                << QStringLiteral("The rip log \"%1\" could not be written: %2").arg(path, error);
    }
    const CueSheet sheet = MakeCueSheet(record, verification);
    if (writeCueSheet && !sheet.tracks.empty()) {
        const QString path = RecordFileName(record.Folder, record.Album, QStringLiteral(".cue"));
        QString error;
        if (!WriteRecordFile(LocalPath(path), FormatCueSheet(sheet), &error))
            problems
                << QStringLiteral("The CUE sheet \"%1\" could not be written: %2").arg(path, error);
    }
    return problems;
}

} // namespace sonfeld::app
