#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>

#include "app/text/message.h"

class QNetworkAccessManager;
class QObject;

namespace sonfeld::app::metadata {

struct THttpAnswer {
    enum class TFailure { None, Timeout, Network, TooLarge };
    TFailure failure = TFailure::None; // None: the server answered, whatever its status
    int status = 0;
    QByteArray body;
    QByteArray contentType;
};

// The most each kind of answer may bring; a larger one is dropped unread.
inline constexpr qint64 kMusicBrainzAnswerLimit = 8 * 1024 * 1024;
inline constexpr qint64 kGnudbAnswerLimit = 1024 * 1024;
// Below 16 MiB by the room FLAC's picture block needs for its own fields, so
// every format can hold a cover that arrives.
inline constexpr qint64 kCoverAnswerLimit = 16 * 1024 * 1024 - 64 * 1024;

// A GET that follows redirects (never from https to http), sends the
// User-Agent, and gives up after timeoutMs, or as soon as the body is known to
// pass maxBytes (by its Content-Length or by what arrived): TooLarge, with no
// body. done runs once on the caller's thread, unless context is destroyed
// first. Never blocks.
void HttpGet(QNetworkAccessManager& network, const QUrl& url, const QString& userAgent,
             int timeoutMs, qint64 maxBytes, QObject* context,
             std::function<void(const THttpAnswer&)> done);

// "查询失败: 无法连接 <service>" and its kin for an answer that brought nothing
// usable; service is the name the user knows ("MusicBrainz", "gnudb", ...).
TMessage FailureText(const QString& service, const THttpAnswer& answer);
TMessage UnreadableAnswerText(const QString& service);
// An answer over its size cap, or one whose reading took longer than its budget.
TMessage AnswerTooLargeText(const QString& service);

} // namespace sonfeld::app::metadata
