#include "accuraterip_lookup.h"

#include "abandon_reply.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace sonfeld::app {

AccurateRipLookup::AccurateRipLookup(QObject* parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &AccurateRipLookup::TimedOut);
}

AccurateRipLookup::~AccurateRipLookup()
{
    Cancel();
}

void AccurateRipLookup::Start(const QString& serverBase, const AccurateRipDiscId& disc,
                              int timeoutMs)
{
    Cancel();
    disc_ = disc;
    timeoutMs_ = timeoutMs;
    timedOut_ = false;
    tooLarge_ = false;
    running_ = true;
    const quint64 generation = ++generation_;

    QString base = serverBase.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url_ = QUrl(base + AccurateRipFilePath(disc), QUrl::StrictMode);
    const QString scheme = url_.scheme();
    if (!url_.isValid() || url_.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        AccurateRipLookupResult result;
        result.error =
            QStringLiteral("The AccurateRip server address is not valid: \"%1\"").arg(serverBase);
        result.url = url_;
        // Reported later, so callers see the same order as for a network answer.
        QMetaObject::invokeMethod(
            this,
            [this, generation, result]() {
                if (generation == generation_ && running_)
                    Finish(result);
            },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url_);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Sonfeld/%1").arg(QCoreApplication::applicationVersion()));
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::finished, this, &AccurateRipLookup::ReplyFinished);
    // Ended as soon as the answer is known to be too large, before it fills the memory.
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length =
            reply_ ? reply_->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (length.isValid() && length.toLongLong() > kAnswerLimit)
            TooLarge();
    });
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        if (reply_ && reply_->bytesAvailable() > kAnswerLimit)
            TooLarge();
    });
    timer_.start(timeoutMs_);
}

void AccurateRipLookup::Cancel()
{
    timer_.stop();
    running_ = false;
    AbandonReply(reply_, this);
}

void AccurateRipLookup::TimedOut()
{
    if (!reply_)
        return;
    timedOut_ = true;
    reply_->abort(); // finished follows, and reports the time-out
}

void AccurateRipLookup::TooLarge()
{
    if (!reply_ || tooLarge_ || timedOut_)
        return;
    tooLarge_ = true;
    reply_->abort(); // finished follows, and reports it
}

void AccurateRipLookup::ReplyFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (reply == nullptr || reply != reply_)
        return;
    timer_.stop();
    const AccurateRipLookupResult result = ResultFromReply();
    reply_ = nullptr;
    reply->deleteLater();
    Finish(result);
}

AccurateRipLookupResult AccurateRipLookup::ResultFromReply()
{
    AccurateRipLookupResult result;
    result.url = url_;
    if (timedOut_) {
        result.error = QStringLiteral("No answer from the AccurateRip server within %1 s")
                           .arg(timeoutMs_ / 1000.0);
        return result;
    }
    if (tooLarge_) {
        result.error = QStringLiteral("AccurateRip 回答过大 (超过 %1 字节)").arg(kAnswerLimit);
        return result;
    }
    const QVariant statusAttribute = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid()) {
        result.error =
            QStringLiteral("Could not reach the AccurateRip server: %1").arg(reply_->errorString());
        return result;
    }
    const int status = statusAttribute.toInt();
    if (status == 404) {
        result.outcome = AccurateRipLookupResult::Outcome::DiscNotFound;
        return result;
    }
    if (status != 200 || reply_->error() != QNetworkReply::NoError) {
        result.error = QStringLiteral("The AccurateRip server answered HTTP %1").arg(status);
        return result;
    }
    const QByteArray body = reply_->readAll();
    verify::AccurateRipDatabaseFile file =
        verify::ParseAccurateRipDatabase(reinterpret_cast<const std::uint8_t*>(body.constData()),
                                         static_cast<std::size_t>(body.size()));
    if (!file.Ok()) {
        result.error = QString::fromStdString(file.error);
        return result;
    }
    for (const verify::AccurateRipPressing& pressing : file.pressings)
        if (pressing.id1 != disc_.id1 || pressing.id2 != disc_.id2 ||
            pressing.freedbId != disc_.freedbId) {
            result.error = QStringLiteral("The AccurateRip answer belongs to another disc");
            return result;
        }
    result.outcome = AccurateRipLookupResult::Outcome::Found;
    result.pressings = std::move(file.pressings);
    return result;
}

void AccurateRipLookup::Finish(const AccurateRipLookupResult& result)
{
    running_ = false;
    emit Finished(result);
}

} // namespace sonfeld::app
