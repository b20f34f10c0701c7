#include "xmcd_parser.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringList>

namespace sonfeld::app::metadata {

namespace {

// Entries hold at most 99 tracks; a larger TTITLE number is garbage.
constexpr int kMaxTracks = 99;

QStringList Lines(const QString& text)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return normalized.split(QLatin1Char('\n'));
}

int StatusCode(const QString& line)
{
    const QString code = line.left(3);
    bool ok = false;
    const int value = code.toInt(&ok);
    if (!ok || code.size() != 3 || (line.size() > 3 && line[3] != QLatin1Char(' ')))
        return 0;
    return value;
}

QString Unescape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else
            out += QString(c) + next;
    }
    return out;
}

// "Artist / Title" split at the first " / "; without one, both are the text.
std::pair<QString, QString> SplitArtistTitle(const QString& text)
{
    const qsizetype slash = text.indexOf(QLatin1String(" / "));
    if (slash < 0)
        return {text.trimmed(), text.trimmed()};
    return {text.left(slash).trimmed(), text.mid(slash + 3).trimmed()};
}

bool IsVariousArtists(const QString& artist)
{
    return artist.compare(QLatin1String("Various"), Qt::CaseInsensitive) == 0 ||
           artist.compare(QLatin1String("Various Artists"), Qt::CaseInsensitive) == 0;
}

} // namespace

TCddbQueryAnswer ParseCddbQueryAnswer(const QByteArray& answer, const TParseBudget& budget)
{
    TCddbQueryAnswer parsed;
    const QStringList lines = Lines(QString::fromUtf8(answer));
    if (lines.isEmpty())
        return parsed;
    parsed.code = StatusCode(lines.first());
    auto addMatch = [&parsed](const QString& text) {
        const QStringList parts = text.split(QLatin1Char(' '));
        if (parts.size() < 2 || parts[0].isEmpty() || parts[1].isEmpty())
            return;
        parsed.matches.append({parts[0], parts[1], parts.mid(2).join(QLatin1Char(' ')).trimmed()});
    };
    if (parsed.code == 200) {
        addMatch(lines.first().mid(4));
    } else if (parsed.code == 210 || parsed.code == 211) {
        for (qsizetype i = 1; i < lines.size() && lines[i] != QLatin1String("."); ++i) {
            if (budget.Spent()) {
                parsed.matches.clear();
                parsed.overBudget = true;
                break;
            }
            addMatch(lines[i]);
        }
    }
    return parsed;
}

namespace {

TDiscMetadata ParseXmcdWithin(const QString& entry, const TParseBudget& budget, bool& overBudget)
{
    // Repeated keys are one value split over lines; join before unescaping so
    // an escape cut at a line end still reads right.
    QMap<QString, QString> values;
    QStringList order;
    for (const QString& line : Lines(entry)) {
        if (budget.Spent()) {
            overBudget = true;
            return {};
        }
        if (line.startsWith(QLatin1Char('#')) || line == QLatin1String("."))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed().toUpper();
        if (!values.contains(key))
            order.append(key);
        values[key] += line.mid(equals + 1);
    }

    TDiscMetadata metadata;
    TAlbumMetadata& album = metadata.album;
    album.source = TMetadataSource::Gnudb;
    const auto [albumArtist, albumTitle] = SplitArtistTitle(Unescape(values.value("DTITLE")));
    album.albumArtist.value = albumArtist;
    album.album.value = albumTitle;
    album.date.value = Unescape(values.value("DYEAR")).trimmed();
    album.genre.value = Unescape(values.value("DGENRE")).trimmed();
    album.comment.value = Unescape(values.value("EXTD")).trimmed();
    if (album.date.value.isEmpty()) {
        // Older entries keep the year in the extended text as "YEAR: 1999".
        static const QRegularExpression year(QStringLiteral("\\bYEAR:\\s*(\\d{4})\\b"));
        const QRegularExpressionMatch match = year.match(album.comment.value);
        if (match.hasMatch())
            album.date.value = match.captured(1);
    }

    int trackCount = 0;
    for (const QString& key : order) {
        static const QRegularExpression title(QStringLiteral("^TTITLE(\\d{1,2})$"));
        const QRegularExpressionMatch match = title.match(key);
        if (match.hasMatch())
            trackCount = qMax(trackCount, qMin(match.captured(1).toInt() + 1, kMaxTracks));
    }
    const bool compilation = IsVariousArtists(albumArtist);
    if (compilation)
        album.compilation.value = QStringLiteral("1");
    for (int i = 0; i < trackCount; ++i) {
        TTrackMetadata track;
        track.number = i + 1;
        const QString text =
            Unescape(values.value(QStringLiteral("TTITLE") + QString::number(i))).trimmed();
        if (compilation && text.contains(QLatin1String(" / "))) {
            const auto [artist, trackTitle] = SplitArtistTitle(text);
            track.artist.value = artist;
            track.title.value = trackTitle;
        } else {
            track.artist.value = albumArtist;
            track.title.value = text;
        }
        metadata.tracks.append(track);
    }
    return metadata;
}

} // namespace

TDiscMetadata ParseXmcd(const QString& entry)
{
    bool overBudget = false;
    return ParseXmcdWithin(entry, TParseBudget(std::chrono::hours(1)), overBudget);
}

TXmcdEntry ParseCddbReadAnswer(const QByteArray& answer, const TParseBudget& budget)
{
    TXmcdEntry entry;
    const QString text = QString::fromUtf8(answer);
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    entry.code = StatusCode(lineEnd < 0 ? text : text.left(lineEnd).trimmed());
    if (entry.code != 210 || lineEnd < 0)
        return entry;
    // The entry ends at the first "." line; anything after it is not ours.
    QString body = text.mid(lineEnd + 1);
    static const QRegularExpression end(QStringLiteral("^\\.\\r?$"),
                                        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = end.match(body);
    if (match.hasMatch())
        body.truncate(match.capturedStart());
    entry.metadata = ParseXmcdWithin(body, budget, entry.overBudget);
    entry.valid = !entry.overBudget &&
                  (!entry.metadata.album.album.value.isEmpty() || !entry.metadata.tracks.isEmpty());
    return entry;
}

} // namespace sonfeld::app::metadata
