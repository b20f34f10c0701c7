#include "gnudb_lookup.h"

#include "http_get.h"
#include "xmcd_parser.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace sonfeld::app::metadata {

namespace {

const QString kService = QStringLiteral("gnudb");

// A word of the CDDB command line, with nothing in it that could break the
// query string or add a word.
QString Word(const QString& text)
{
    QString word = text.simplified();
    word.replace(QLatin1Char(' '), QLatin1Char('_'));
    return QString::fromLatin1(QUrl::toPercentEncoding(word, "._-@"));
}

} // namespace

QString GnudbQueryCommand(const TDiscKey& disc)
{
    QStringList words = {QStringLiteral("cddb"), QStringLiteral("query"), Word(disc.freedbId),
                         QString::number(disc.freedbOffsets.size())};
    for (const int offset : disc.freedbOffsets)
        words.append(QString::number(offset));
    words.append(QString::number(disc.freedbLeadout / 75));
    return words.join(QLatin1Char(' '));
}

QString GnudbTarget(const TLookupOptions& options, const QString& command)
{
    QString cmd = command;
    cmd.replace(QLatin1Char(' '), QLatin1Char('+'));
    const QString hello = QStringList{Word(options.gnudbUser), Word(options.gnudbHost),
                                      Word(options.clientName), Word(options.clientVersion)}
                              .join(QLatin1Char('+'));
    return QStringLiteral("/~cddb/cddb.cgi?cmd=%1&hello=%2&proto=6").arg(cmd, hello);
}

namespace {

// Reads the matches one after the other; the first failure that is not
// "no such entry" is kept for when no entry at all could be read.
struct TGnudbReads {
    QPointer<QNetworkAccessManager> network;
    TLookupOptions options;
    QString base;
    QObject* context = nullptr;
    bool inexact = false;
    QList<TCddbMatch> matches;
    TGnudbResult result;
    std::function<void(const TGnudbResult&)> done;
};

void ReadNext(const std::shared_ptr<TGnudbReads>& reads, qsizetype index)
{
    if (index >= reads->matches.size() || reads->network.isNull()) {
        TGnudbResult& result = reads->result;
        if (!result.candidates.isEmpty()) {
            result.status = TLookupStatus::Found;
            result.metadata = result.candidates.first().metadata;
            result.message = {};
        } else if (result.message.IsEmpty()) {
            result.status = TLookupStatus::NotFound;
        }
        reads->done(result);
        return;
    }
    const TCddbMatch match = reads->matches[index];
    const QString read =
        QStringLiteral("cddb read %1 %2").arg(Word(match.category), Word(match.discId));
    HttpGet(*reads->network, QUrl(reads->base + GnudbTarget(reads->options, read)),
            reads->options.userAgent, reads->options.timeoutMs, kGnudbAnswerLimit, reads->context,
            [reads, match, index](const THttpAnswer& answer) {
                if (answer.failure != THttpAnswer::TFailure::None || answer.status != 200) {
                    if (reads->result.message.IsEmpty())
                        reads->result.message = FailureText(kService, answer);
                } else {
                    const TXmcdEntry entry = ParseCddbReadAnswer(answer.body);
                    if (entry.valid) {
                        reads->result.candidates.append(
                            {match.category, match.discId, reads->inexact, entry.metadata});
                    } else if (entry.code != 401 && reads->result.message.IsEmpty()) {
                        reads->result.message = entry.overBudget ? AnswerTooLargeText(kService)
                                                                 : UnreadableAnswerText(kService);
                    }
                }
                ReadNext(reads, index + 1);
            });
}

} // namespace

void LookupGnudb(QNetworkAccessManager& network, const TLookupOptions& options,
                 const TDiscKey& disc, QObject* context,
                 std::function<void(const TGnudbResult&)> done)
{
    if (TrimmedBase(options.gnudbServer).isEmpty() || disc.freedbId.isEmpty() ||
        disc.freedbOffsets.isEmpty()) {
        TGnudbResult result;
        result.status = TLookupStatus::NotFound;
        done(result);
        return;
    }
    auto reads = std::make_shared<TGnudbReads>();
    reads->network = &network;
    reads->options = options;
    reads->base = TrimmedBase(options.gnudbServer);
    reads->context = context;
    reads->done = std::move(done);
    const QUrl queryUrl(reads->base + GnudbTarget(options, GnudbQueryCommand(disc)));
    HttpGet(network, queryUrl, options.userAgent, options.timeoutMs, kGnudbAnswerLimit, context,
            [reads](const THttpAnswer& answer) {
                if (answer.failure != THttpAnswer::TFailure::None || answer.status != 200) {
                    reads->result.message = FailureText(kService, answer);
                    reads->done(reads->result);
                    return;
                }
                const TCddbQueryAnswer query = ParseCddbQueryAnswer(answer.body);
                if (query.code == 202) {
                    reads->result.status = TLookupStatus::NotFound;
                    reads->done(reads->result);
                    return;
                }
                if (query.matches.isEmpty()) {
                    reads->result.message = query.overBudget ? AnswerTooLargeText(kService)
                                                             : UnreadableAnswerText(kService);
                    reads->done(reads->result);
                    return;
                }
                reads->inexact = query.Inexact();
                reads->matches = query.matches.mid(0, kMaxGnudbCandidates);
                ReadNext(reads, 0);
            });
}

} // namespace sonfeld::app::metadata
