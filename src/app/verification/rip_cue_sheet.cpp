#include "rip_cue_sheet.h"

#include "app/files/record_file.h"

#include <QFile>
#include <QStringList>

#include "app/text/plain_text.h"

namespace sonfeld::app {
namespace {

QString Msf(qint64 sectors)
{
    sectors = qMax<qint64>(sectors, 0);
    return QStringLiteral("%1:%2:%3")
        .arg(sectors / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(sectors / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sectors % 75, 2, 10, QLatin1Char('0'));
}

// Cue sheets have no escapes: a double quote would end the text early, and a
// line break would start a command of its own.
QString Quoted(const QString& text)
{
    QString plain = StripControls(text);
    plain.replace(QLatin1Char('"'), QLatin1Char('\''));
    return QLatin1Char('"') + plain + QLatin1Char('"');
}

// A REM value of one word goes bare, as sheets usually have it ("REM DATE 1999").
QString RemValue(const QString& text)
{
    const QString plain = StripControls(text).trimmed();
    return plain.contains(QLatin1Char(' ')) || plain.contains(QLatin1Char('"')) ? Quoted(plain)
                                                                                : plain;
}

bool AllZeros(const QString& text)
{
    for (QChar c : text)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

bool ValidIsrc(const QString& isrc)
{
    if (isrc.size() != 12 || AllZeros(isrc))
        return false;
    for (QChar c : isrc)
        if (!(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
            return false;
    return true;
}

bool ValidCatalog(const QString& catalog)
{
    if (catalog.size() != 13 || AllZeros(catalog))
        return false;
    for (QChar c : catalog)
        if (!c.isDigit())
            return false;
    return true;
}

void AppendTrackHeader(QStringList& lines, const CueTrack& track)
{
    lines << QStringLiteral("  TRACK %1 AUDIO").arg(track.number, 2, 10, QLatin1Char('0'));
    QStringList flags;
    if (track.copyPermitted.value_or(false))
        flags << QStringLiteral("DCP");
    if (track.preEmphasis.value_or(false))
        flags << QStringLiteral("PRE");
    if (!flags.isEmpty())
        lines << QStringLiteral("    FLAGS ") + flags.join(QLatin1Char(' '));
    if (ValidIsrc(track.isrc.toUpper()))
        lines << QStringLiteral("    ISRC ") + track.isrc.toUpper();
    if (!track.title.isEmpty())
        lines << QStringLiteral("    TITLE ") + Quoted(track.title);
    if (!track.performer.isEmpty())
        lines << QStringLiteral("    PERFORMER ") + Quoted(track.performer);
}

QStringList SheetHeader(const CueSheet& sheet)
{
    QStringList lines;
    if (!RemValue(sheet.genre).isEmpty())
        lines << QStringLiteral("REM GENRE ") + RemValue(sheet.genre);
    if (!RemValue(sheet.date).isEmpty())
        lines << QStringLiteral("REM DATE ") + RemValue(sheet.date);
    if (!sheet.freedbId.isEmpty())
        lines << QStringLiteral("REM DISCID ") + sheet.freedbId.toUpper();
    lines << QStringLiteral("REM COMMENT ") + Quoted(sheet.program);
    if (ValidCatalog(sheet.catalog))
        lines << QStringLiteral("CATALOG ") + sheet.catalog;
    if (!sheet.performer.isEmpty())
        lines << QStringLiteral("PERFORMER ") + Quoted(sheet.performer);
    if (!sheet.title.isEmpty())
        lines << QStringLiteral("TITLE ") + Quoted(sheet.title);
    return lines;
}

} // namespace

QByteArray FormatCueSheet(const CueSheet& sheet)
{
    QStringList lines = SheetHeader(sheet);
    const QString fileType = sheet.fileType.isEmpty() ? QStringLiteral("WAVE") : sheet.fileType;
    const CueTrack* previous = nullptr;
    for (std::size_t t = 0; t < sheet.tracks.size(); ++t) {
        const CueTrack& track = sheet.tracks[t];
        const QString file = QStringLiteral("FILE %1 %2").arg(Quoted(track.fileName), fileType);
        if (track.number == 0) {
            // The hidden audio is track 1's INDEX 00; without track 1 the
            // sheet has no track to hang it on.
            if (t + 1 < sheet.tracks.size() && sheet.tracks[t + 1].number == 1)
                lines << file;
            previous = &track;
            continue;
        }
        // Track 1's gap is the whole hidden track when that was ripped.
        const qint64 gap = previous != nullptr && previous->number == 0
                               ? previous->fileSectors
                               : qMax<qint64>(track.pregapSectors, 0);
        if (previous != nullptr && previous->number == track.number - 1 && gap > 0) {
            // The gap was ripped at the end of the previous file.
            AppendTrackHeader(lines, track);
            lines << QStringLiteral("    INDEX 00 ") +
                         Msf(previous->fileSectors - qMin(gap, previous->fileSectors));
            lines << file << QStringLiteral("    INDEX 01 00:00:00");
        } else {
            lines << file;
            AppendTrackHeader(lines, track);
            if (gap > 0)
                lines << QStringLiteral("    PREGAP ") + Msf(gap);
            lines << QStringLiteral("    INDEX 01 00:00:00");
        }
        previous = &track;
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QByteArray FormatImageCueSheet(const CueSheet& sheet, const QString& imageFile)
{
    QStringList lines = SheetHeader(sheet);
    const QString fileType = sheet.fileType.isEmpty() ? QStringLiteral("WAVE") : sheet.fileType;
    lines << QStringLiteral("FILE %1 %2").arg(Quoted(imageFile), fileType);
    for (const CueTrack& track : sheet.tracks) {
        const qint64 gap = qMax<qint64>(track.pregapSectors, 0);
        AppendTrackHeader(lines, track);
        if (gap > track.imageSector)
            lines << QStringLiteral("    PREGAP ") + Msf(gap - track.imageSector);
        if (gap > 0 && track.imageSector > 0)
            lines << QStringLiteral("    INDEX 00 ") +
                         Msf(track.imageSector - qMin(gap, track.imageSector));
        lines << QStringLiteral("    INDEX 01 ") + Msf(track.imageSector);
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

bool WriteCueSheet(const QString& path, const CueSheet& sheet, QString* error)
{
    QString reason;
    if (!WriteRecordFile(QFile::encodeName(path), FormatCueSheet(sheet), &reason)) {
        if (error != nullptr)
            *error =
                QStringLiteral("The cue sheet \"%1\" could not be written: %2").arg(path, reason);
        return false;
    }
    return true;
}

} // namespace sonfeld::app
