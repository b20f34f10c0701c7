#include "gnudb_lookup.h"

#include "http_get.h"
#include "xmcd_parser.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <QStringList>
#include <QUrl>

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
                                      QStringLiteral("Sonfeld"), Word(options.clientVersion)}
                              .join(QLatin1Char('+'));
    return QStringLiteral("/~cddb/cddb.cgi?cmd=%1&hello=%2&proto=6").arg(cmd, hello);
}

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
    const QString base = TrimmedBase(options.gnudbServer);
    const QUrl queryUrl(base + GnudbTarget(options, GnudbQueryCommand(disc)));
    QPointer<QNetworkAccessManager> guardedNetwork(&network);
    HttpGet(network, queryUrl, options.userAgent, options.timeoutMs, kGnudbAnswerLimit, context,
            [=, done = std::move(done)](const THttpAnswer& answer) mutable {
                TGnudbResult result;
                if (answer.failure != THttpAnswer::TFailure::None || answer.status != 200) {
                    result.message = FailureText(kService, answer);
                    done(result);
                    return;
                }
                const TCddbQueryAnswer query = ParseCddbQueryAnswer(answer.body);
                if (query.code == 202) {
                    result.status = TLookupStatus::NotFound;
                    done(result);
                    return;
                }
                if (query.matches.isEmpty() || guardedNetwork.isNull()) {
                    result.message = UnreadableAnswerText(kService);
                    done(result);
                    return;
                }
                const TCddbMatch match = query.matches.first();
                const QString read =
                    QStringLiteral("cddb read %1 %2").arg(Word(match.category), Word(match.discId));
                HttpGet(*guardedNetwork, QUrl(base + GnudbTarget(options, read)), options.userAgent,
                        options.timeoutMs, kGnudbAnswerLimit, context,
                        [match, done = std::move(done)](const THttpAnswer& entryAnswer) {
                            TGnudbResult entryResult;
                            if (entryAnswer.failure != THttpAnswer::TFailure::None ||
                                entryAnswer.status != 200) {
                                entryResult.message = FailureText(kService, entryAnswer);
                                done(entryResult);
                                return;
                            }
                            const TXmcdEntry entry =
                                ParseCddbReadAnswer(entryAnswer.body, match.category);
                            if (entry.code == 401) {
                                entryResult.status = TLookupStatus::NotFound;
                            } else if (!entry.valid) {
                                entryResult.message = UnreadableAnswerText(kService);
                            } else {
                                entryResult.status = TLookupStatus::Found;
                                entryResult.metadata = entry.metadata;
                            }
                            done(entryResult);
                        });
            });
}

} // namespace sonfeld::app::metadata
