#include "http_get.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace sonfeld::app::metadata {

void HttpGet(QNetworkAccessManager& network, const QUrl& url, const QString& userAgent,
             int timeoutMs, qint64 maxBytes, QObject* context,
             std::function<void(const THttpAnswer&)> done)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = network.get(request);

    // The whole exchange counts, not just silence between bytes: a server
    // that trickles must not hold the lookup past its limit.
    auto* limit = new QTimer(reply);
    limit->setSingleShot(true);
    QObject::connect(limit, &QTimer::timeout, reply, [reply] {
        if (!reply->isFinished()) {
            reply->setProperty("sonfeldTimedOut", true);
            reply->abort();
        }
    });
    limit->start(timeoutMs);

    // A hostile or broken server must not fill the memory: the transfer ends
    // as soon as the answer is known to be too large.
    const auto tooLarge = [reply] {
        if (!reply->isFinished() && !reply->property("sonfeldTooLarge").toBool()) {
            reply->setProperty("sonfeldTooLarge", true);
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes)
            tooLarge();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, maxBytes, tooLarge] {
        if (reply->bytesAvailable() > maxBytes)
            tooLarge();
    });

    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)] {
        THttpAnswer answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->property("sonfeldTooLarge").toBool()) {
            answer.failure = THttpAnswer::TFailure::TooLarge;
        } else if (reply->property("sonfeldTimedOut").toBool()) {
            answer.failure = THttpAnswer::TFailure::Timeout;
        } else if (answer.status == 0) {
            answer.failure = THttpAnswer::TFailure::Network;
        } else {
            answer.body = reply->readAll();
            answer.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        }
        done(answer);
    });
}

TMessage FailureText(const QString& service, const THttpAnswer& answer)
{
    switch (answer.failure) {
    case THttpAnswer::TFailure::Timeout:
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "查询失败: %1 无响应（超时）")).Arg(service);
    case THttpAnswer::TFailure::Network:
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "查询失败: 无法连接 %1")).Arg(service);
    case THttpAnswer::TFailure::TooLarge: return AnswerTooLargeText(service);
    case THttpAnswer::TFailure::None: break;
    }
    if (answer.status == 503)
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "查询失败: %1 繁忙 (HTTP 503)")).Arg(service);
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "查询失败: %1 服务器错误 (HTTP %2)"))
        .Arg(service)
        .Arg(answer.status);
}

TMessage UnreadableAnswerText(const QString& service)
{
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "查询失败: %1 的回答无法识别")).Arg(service);
}

TMessage AnswerTooLargeText(const QString& service)
{
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "查询失败: %1 回答过大")).Arg(service);
}

} // namespace sonfeld::app::metadata
