#include "cover_art.h"

#include "http_get.h"

#include <QUrl>

namespace sonfeld::app::metadata {

namespace {

const QString kService = QStringLiteral("Cover Art Archive");

} // namespace

QString ImageMimeType(const QByteArray& data)
{
    if (data.startsWith(QByteArray::fromHex("ffd8ff")))
        return QStringLiteral("image/jpeg");
    if (data.startsWith(QByteArray::fromHex("89504e470d0a1a0a")))
        return QStringLiteral("image/png");
    return {};
}

void FetchFrontCover(QNetworkAccessManager& network, const TLookupOptions& options,
                     const QString& releaseId, QObject* context,
                     std::function<void(const TCoverArt&)> done)
{
    if (releaseId.isEmpty()) {
        TCoverArt cover;
        cover.status = TCoverArt::TStatus::Missing;
        cover.message =
            TMessage(QT_TRANSLATE_NOOP("sonfeld", "没有 MusicBrainz 发行版本，无法取得封面"));
        done(cover);
        return;
    }
    const QUrl url(TrimmedBase(options.coverArtServer) + QStringLiteral("/release/") +
                   QString::fromLatin1(QUrl::toPercentEncoding(releaseId, "-")) +
                   QStringLiteral("/front-500"));
    HttpGet(network, url, options.userAgent, options.timeoutMs, kCoverAnswerLimit, context,
            [done = std::move(done)](const THttpAnswer& answer) {
                TCoverArt cover;
                if (answer.failure == THttpAnswer::TFailure::None && answer.status == 404) {
                    cover.status = TCoverArt::TStatus::Missing;
                    cover.message = TMessage(QT_TRANSLATE_NOOP("sonfeld", "此发行版本没有封面"));
                } else if (answer.failure != THttpAnswer::TFailure::None || answer.status != 200) {
                    cover.message = FailureText(kService, answer);
                } else if (ImageMimeType(answer.body).isEmpty()) {
                    cover.message =
                        TMessage(QT_TRANSLATE_NOOP("sonfeld", "封面不是 JPEG 或 PNG 图像"));
                } else {
                    cover.status = TCoverArt::TStatus::Found;
                    cover.mimeType = ImageMimeType(answer.body);
                    cover.data = answer.body;
                }
                done(cover);
            });
}

} // namespace sonfeld::app::metadata
