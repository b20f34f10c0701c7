#include <QFile>
#include <QStringList>
#include <algorithm>

#include "app/files/record_file.h"
#include "rip_log.h"
#include "rip_log_checksum.h"

namespace sonfeld::app {
namespace {

QString Hex(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

// mm:ss.ff (75 frames to the second), as TOC listings show sectors.
QString Msf(qint64 sectors)
{
    return QStringLiteral("%1:%2.%3")
        .arg(sectors / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

QString OrUnknown(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("未知") : text;
}

QString AccurateRipLine(const RipLogTrack& track)
{
    const verify::AccurateRipVerdict& verdict = track.accurateRip;
    // The grid's text, and which of its sums matched.
    QString line = AccurateRipText(FromAccurateRip(verdict)).Chinese();
    if (verdict.status == verify::AccurateRipStatus::Match)
        line += verdict.version == verify::AccurateRipVersion::V2 ? QStringLiteral("，v2")
                                                                  : QStringLiteral("，v1");
    if (!track.accurateRipDetail.isEmpty())
        line += QStringLiteral(" (%1)").arg(track.accurateRipDetail);
    return line;
}

QString CtdbLine(const TDatabaseVerdict& verdict, const QString& detail)
{
    QString line = CtdbText(verdict).Chinese();
    if (line.isEmpty())
        line = QStringLiteral("未检查");
    if (!detail.isEmpty())
        line += QStringLiteral(" (%1)").arg(detail);
    return line;
}

bool ChecksumsWhole(const RipLogTrack& track)
{
    return track.checksums.has_value() && track.checksums->complete;
}

void AppendToc(QStringList& lines, const RipLog& log)
{
    lines << QStringLiteral("目录")
          << QStringLiteral("  音轨 |     起始 |     长度 |   间隙 | 起始扇区 | 扇区数");
    for (const RipLogTocEntry& entry : log.toc)
        lines << QStringLiteral("  %1 | %2 | %3 | %4 | %5 | %6%7")
                     .arg(entry.number, 4)
                     .arg(Msf(entry.startLsn), 8)
                     .arg(Msf(entry.lengthSectors), 8)
                     .arg(Msf(entry.pregapSectors), 6)
                     .arg(entry.startLsn, 8)
                     .arg(entry.lengthSectors, 6)
                     .arg(entry.audio ? QString() : QStringLiteral(" (数据)"));
}

void AppendTrack(QStringList& lines, const RipLogTrack& track)
{
    lines << QString() << QStringLiteral("音轨 %1").arg(track.number)
          << QStringLiteral("  文件: %1").arg(OrUnknown(track.fileName));
    if (!track.performer.isEmpty())
        lines << QStringLiteral("  演唱者: %1").arg(track.performer);
    if (!track.isrc.isEmpty())
        lines << QStringLiteral("  ISRC: %1").arg(track.isrc);
    if (track.preEmphasis)
        lines << QStringLiteral("  预加重: %1")
                     .arg(*track.preEmphasis ? QStringLiteral("是") : QStringLiteral("否"));
    if (track.deEmphasised)
        lines << QStringLiteral("  去加重: 已用于文件 (校验和与 CRC 取自读取的音频)");
    if (track.checksums) {
        const verify::TrackChecksums& sums = *track.checksums;
        lines << QStringLiteral("  峰值: %1 %").arg(sums.PeakPercent(), 0, 'f', 1);
        if (track.testCrc)
            lines << QStringLiteral("  测试 CRC32: %1").arg(Hex(*track.testCrc));
        lines << QStringLiteral("  复制 CRC32: %1").arg(Hex(sums.crc32))
              << QStringLiteral("  复制 CRC32 (不含空采样): %1").arg(Hex(sums.crc32WithoutNulls));
        if (track.testCrc)
            lines << QStringLiteral("  测试与复制: %1")
                         .arg(*track.testCrc == sums.crc32 ? QStringLiteral("一致")
                                                           : QStringLiteral("不一致"));
        lines << QStringLiteral("  AccurateRip v1: %1").arg(Hex(sums.accurateRipV1))
              << QStringLiteral("  AccurateRip v2: %1").arg(Hex(sums.accurateRipV2));
        if (track.ctdb.Status != TDatabaseStatus::NotChecked)
            lines << QStringLiteral("  CTDB CRC32: %1").arg(Hex(sums.ctdbCrc));
        for (const quint32 other : track.otherReads)
            lines << QStringLiteral("  另一次读取 CRC32: %1 (%2)")
                         .arg(Hex(other), other == sums.crc32 ? QStringLiteral("一致")
                                                              : QStringLiteral("不一致"));
        if (!sums.complete)
            lines << QStringLiteral("  校验和不完整: 读到 %1 个采样").arg(sums.samples);
    } else {
        lines << QStringLiteral("  校验和: 无 (音轨未读完)");
    }
    lines << QStringLiteral("  AccurateRip: %1").arg(AccurateRipLine(track));
    if (track.ctdb.Status != TDatabaseStatus::NotChecked || !track.ctdbDetail.isEmpty())
        lines << QStringLiteral("  CTDB: %1").arg(CtdbLine(track.ctdb, track.ctdbDetail));
    if (track.proof) {
        QString proof = ReadProofText(*track.proof);
        if (!track.proof->Sectors.empty()) {
            QStringList positions;
            for (qint64 sector : track.proof->Sectors)
                positions << Msf(sector);
            proof += QStringLiteral(" (%1)").arg(positions.join(QStringLiteral(", ")));
        }
        lines << QStringLiteral("  证明: %1").arg(proof);
    }
    lines << QStringLiteral("  纠正次数: %1").arg(track.paranoia.corrections)
          << QStringLiteral("  读取错误: %1").arg(track.paranoia.readErrors);
    if (track.paranoia.uncorrectedSectors.empty()) {
        lines << QStringLiteral("  未能纠正的扇区: 0");
    } else {
        QStringList positions;
        for (qint64 sector : track.paranoia.uncorrectedSectors)
            positions << QString::number(sector);
        lines << QStringLiteral("  未能纠正的扇区: %1 (LSN %2)")
                     .arg(track.paranoia.uncorrectedSectors.size())
                     .arg(positions.join(QStringLiteral(", ")));
    }
    for (const QString& note : track.readingNotes)
        lines << QStringLiteral("  读取: %1").arg(note);
    for (const QString& note : track.sheetNotes)
        lines << QStringLiteral("  CUE 表: %1").arg(note);
    lines << QStringLiteral("  状态: %1").arg(OrUnknown(track.status));
}

} // namespace

QStringList RipLogProblems(const RipLog& log)
{
    QStringList problems;
    if (log.tracks.empty())
        problems << QStringLiteral("没有抓取任何音轨");
    for (const RipLogTrack& track : log.tracks) {
        const QString name = QStringLiteral("音轨 %1: ").arg(track.number);
        if (!track.ripped)
            problems << name + QStringLiteral("未完成 (%1)").arg(OrUnknown(track.status));
        if (!track.paranoia.uncorrectedSectors.empty())
            problems << name + QStringLiteral("%1 个扇区未能纠正")
                                   .arg(track.paranoia.uncorrectedSectors.size());
        if (track.testCrc && track.checksums && *track.testCrc != track.checksums->crc32)
            problems << name + QStringLiteral("测试与复制 CRC 不一致");
        if (track.ripped && !ChecksumsWhole(track))
            problems << name + QStringLiteral("校验和不完整");
        // Either database proves the track.
        if (track.ripped && track.accurateRip.status != verify::AccurateRipStatus::Match &&
            !track.ctdb.Accurate())
            problems << name + QStringLiteral("AccurateRip %1").arg(AccurateRipLine(track));
        if (track.ripped && track.proof && track.proof->Status == TReadProofStatus::Suspicious)
            problems << name + QStringLiteral("可疑");
    }
    return problems;
}

QByteArray FormatRipLog(const RipLog& log)
{
    QStringList lines;
    lines << QStringLiteral("Sonfeld %1 抓轨日志").arg(log.programVersion) << QString()
          << QStringLiteral("日期: %1")
                 .arg(log.date.isValid() ? log.date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                         : QStringLiteral("未知"))
          << QStringLiteral("驱动器: %1").arg(OrUnknown(log.driveName))
          << QStringLiteral("读取偏移: %1%2 采样")
                 .arg(log.readOffset > 0 ? QStringLiteral("+") : QString())
                 .arg(log.readOffset)
          << QStringLiteral("读取模式: %1").arg(OrUnknown(log.readingMode))
          << QStringLiteral("AccurateRip 光盘 ID: %1").arg(OrUnknown(log.accurateRipId))
          << QStringLiteral("freedb 光盘 ID: %1").arg(OrUnknown(log.freedbId))
          << QStringLiteral("MusicBrainz 光盘 ID: %1").arg(OrUnknown(log.musicBrainzId));
    if (!log.ctdbTocId.isEmpty()) {
        lines << QStringLiteral("CTDB TOC ID: %1").arg(log.ctdbTocId);
        QString disc = CtdbLine(log.ctdbDisc, log.ctdbDiscDetail);
        if (log.ctdbDiscCrc)
            disc += QStringLiteral("，光盘 CRC32 %1").arg(Hex(*log.ctdbDiscCrc));
        lines << QStringLiteral("CTDB 整张光盘: %1").arg(disc);
    }
    if (!log.albumPerformer.isEmpty() || !log.albumTitle.isEmpty())
        lines << (log.albumPerformer.isEmpty()
                      ? QStringLiteral("专辑: %1").arg(log.albumTitle)
                      : QStringLiteral("专辑: %1 / %2").arg(log.albumPerformer, log.albumTitle));
    if (!log.releaseDate.isEmpty())
        lines << QStringLiteral("发行日期: %1").arg(log.releaseDate);
    if (!log.genre.isEmpty())
        lines << QStringLiteral("流派: %1").arg(log.genre);
    if (!log.catalog.isEmpty())
        lines << QStringLiteral("光盘目录号 (MCN): %1").arg(log.catalog);
    lines << QString();
    AppendToc(lines, log);
    if (log.hiddenTrackSectors > 0) {
        const bool ripped =
            std::any_of(log.tracks.begin(), log.tracks.end(),
                        [](const RipLogTrack& track) { return track.number == 0 && track.ripped; });
        lines << QStringLiteral("隐藏音轨: 音轨 1 的 INDEX 01 之前有 %1 的非静音音频 (音轨 0，%2)")
                     .arg(Msf(log.hiddenTrackSectors),
                          log.hiddenTrackInImage
                              ? QStringLiteral("在整轨文件开头，音轨 1 的 INDEX 00")
                          : ripped ? QStringLiteral("已抓取")
                                   : QStringLiteral("未抓取"));
    }
    for (const RipLogTrack& track : log.tracks)
        AppendTrack(lines, track);
    lines << QString() << QStringLiteral("汇总");
    const QStringList problems = RipLogProblems(log);
    if (problems.isEmpty())
        lines << kAllTracksAccurate;
    else
        for (const QString& problem : problems)
            lines << QStringLiteral("  ") + problem;
    qint64 corrections = 0;
    for (const RipLogTrack& track : log.tracks)
        corrections += track.paranoia.corrections;
    lines << QStringLiteral("  纠正: 共 %1 次").arg(corrections);
    lines << QString();
    const QByteArray above = lines.join(QLatin1Char('\n')).toUtf8() + '\n';
    return above + RipLogChecksumLine(above);
}

bool WriteRipLog(const QString& path, const RipLog& log, QString* error)
{
    QString reason;
    if (!WriteRecordFile(QFile::encodeName(path), FormatRipLog(log), &reason)) {
        if (error != nullptr)
            *error = QStringLiteral("The log \"%1\" could not be written: %2").arg(path, reason);
        return false;
    }
    return true;
}

} // namespace sonfeld::app
