#include "musicbrainz_lookup.h"

#include "http_get.h"
#include "musicbrainz_mapping.h"
#include "request_spacing.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>

namespace sonfeld::app::metadata {

namespace {

const QString kService = QStringLiteral("MusicBrainz");

using TDone = std::function<void(const TMusicBrainzResult&)>;

void Request(QNetworkAccessManager& network, TRequestSpacing& spacing,
             const TLookupOptions& options, const TDiscKey& disc, bool withToc, QObject* context,
             TDone done)
{
    const QUrl url(
        TrimmedBase(options.musicBrainzServer) +
        MusicBrainzDiscIdTarget(disc.musicBrainzDiscId, withToc ? disc.musicBrainzToc : QString()));
    QPointer<QNetworkAccessManager> guardedNetwork(&network);
    QPointer<TRequestSpacing> guardedSpacing(&spacing);
    spacing.Enqueue(context, [=, done = std::move(done)]() mutable {
        if (guardedNetwork.isNull())
            return;
        HttpGet(*guardedNetwork, url, options.userAgent, options.timeoutMs, kMusicBrainzAnswerLimit,
                context, [=, done = std::move(done)](const THttpAnswer& answer) mutable {
                    TMusicBrainzResult result;
                    result.byDurations = withToc;
                    if (answer.failure == THttpAnswer::TFailure::None && answer.status == 404) {
                        if (!withToc && !disc.musicBrainzToc.isEmpty() &&
                            !guardedNetwork.isNull() && !guardedSpacing.isNull()) {
                            Request(*guardedNetwork, *guardedSpacing, options, disc, true, context,
                                    std::move(done));
                            return;
                        }
                        result.status = TLookupStatus::NotFound;
                        done(result);
                        return;
                    }
                    if (answer.failure != THttpAnswer::TFailure::None || answer.status != 200) {
                        result.message = FailureText(kService, answer);
                        done(result);
                        return;
                    }
                    const TMusicBrainzMapping mapping =
                        MapDiscIdAnswer(answer.body, disc.musicBrainzDiscId, disc.trackCount);
                    if (!mapping.valid) {
                        result.message = mapping.overBudget ? AnswerTooLargeText(kService)
                                                            : UnreadableAnswerText(kService);
                        done(result);
                        return;
                    }
                    result.candidates = mapping.candidates;
                    result.status = result.candidates.isEmpty() ? TLookupStatus::NotFound
                                                                : TLookupStatus::Found;
                    done(result);
                });
    });
}

} // namespace

QString MusicBrainzDiscIdTarget(const QString& discId, const QString& toc)
{
    // The ID is letters, digits, ".", "_" and "-"; escaping keeps anything else
    // from changing the path.
    const QString id = discId.isEmpty()
                           ? QStringLiteral("-")
                           : QString::fromLatin1(QUrl::toPercentEncoding(discId, "._-"));
    QString target =
        QStringLiteral("/ws/2/discid/%1?inc=%2&cdstubs=no&fmt=json").arg(id, kMusicBrainzIncludes);
    if (!toc.isEmpty()) {
        QString plus = toc.simplified();
        plus.replace(QLatin1Char(' '), QLatin1Char('+'));
        target += QStringLiteral("&toc=") + plus;
    }
    return target;
}

void LookupMusicBrainz(QNetworkAccessManager& network, TRequestSpacing& spacing,
                       const TLookupOptions& options, const TDiscKey& disc, QObject* context,
                       std::function<void(const TMusicBrainzResult&)> done)
{
    if (disc.musicBrainzDiscId.isEmpty() && disc.musicBrainzToc.isEmpty()) {
        TMusicBrainzResult result;
        result.status = TLookupStatus::NotFound;
        done(result);
        return;
    }
    Request(network, spacing, options, disc, disc.musicBrainzDiscId.isEmpty(), context,
            std::move(done));
}

} // namespace sonfeld::app::metadata
