#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QObject;

namespace sonfeld::app::metadata {

struct THttpAnswer {
    enum class TFailure { None, Timeout, Network };
    TFailure failure = TFailure::None; // None: the server answered, whatever its status
    int status = 0;
    QByteArray body;
    QByteArray contentType;
};

// A GET that follows redirects (never from https to http), sends the
// User-Agent, and gives up after timeoutMs. done runs once on the caller's
// thread, unless context is destroyed first. Never blocks.
void HttpGet(QNetworkAccessManager& network, const QUrl& url, const QString& userAgent,
             int timeoutMs, QObject* context, std::function<void(const THttpAnswer&)> done);

// "查询失败: 无法连接 <service>" and its kin for an answer that brought nothing
// usable; service is the name the user knows ("MusicBrainz", "gnudb", ...).
QString FailureText(const QString& service, const THttpAnswer& answer);
QString UnreadableAnswerText(const QString& service);

} // namespace sonfeld::app::metadata
