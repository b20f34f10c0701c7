#include "ctdb_lookup.h"

#include "abandon_reply.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include <algorithm>

#include "audio/cd/ctdb/ctdb_repair.h"

namespace sonfeld::app {

namespace {

QString TrimmedBase(const QString& serverBase)
{
    QString base = serverBase.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

bool IsWebUrl(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

} // namespace

QString CtdbUserAgent()
{
    return QStringLiteral("Sonfeld/%1 (Linux)").arg(QStringLiteral(SONFELD_VERSION));
}

QUrl CtdbLookupUrl(const QString& serverBase, const QString& tocString)
{
    return QUrl(TrimmedBase(serverBase) +
                    QStringLiteral("/lookup2.php?version=3&ctdb=1&fuzzy=1&metadata=none&toc=") +
                    tocString,
                QUrl::StrictMode);
}

QUrl CtdbRecoveryUrl(const QString& serverBase, const QString& parity)
{
    if (parity.startsWith(QLatin1Char('/'))) {
        QUrl url(TrimmedBase(serverBase), QUrl::StrictMode);
        if (!IsWebUrl(url))
            return {};
        url.setPath(parity, QUrl::StrictMode);
        url.setQuery(QString());
        return url;
    }
    const QUrl url(parity, QUrl::StrictMode);
    return IsWebUrl(url) ? url : QUrl();
}

CtdbRequest::CtdbRequest(QObject* parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        Abort(
            QStringLiteral("No answer from the CTDB server within %1 s").arg(timeoutMs_ / 1000.0));
    });
}

CtdbRequest::~CtdbRequest()
{
    Cancel();
}

void CtdbRequest::Start(const QUrl& url, const QByteArray& range, qint64 limit, int timeoutMs)
{
    Cancel();
    limit_ = limit;
    timeoutMs_ = timeoutMs;
    abortReason_.clear();
    running_ = true;
    const quint64 generation = ++generation_;
    if (!IsWebUrl(url)) {
        Answer answer;
        answer.error =
            QStringLiteral("The CTDB server address is not valid: \"%1\"").arg(url.toString());
        // Reported later, so callers see the same order as for a network answer.
        QMetaObject::invokeMethod(
            this,
            [this, generation, answer] {
                if (generation == generation_ && running_)
                    Finish(answer);
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, CtdbUserAgent());
    if (!range.isEmpty()) {
        request.setRawHeader("Range", range);
        // Byte ranges of the raw file: no transfer compression.
        request.setRawHeader("Accept-Encoding", "identity");
    }
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::finished, this, &CtdbRequest::ReplyFinished);
    // Ended as soon as the answer is known to be too large, before it fills the memory.
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length =
            reply_ ? reply_->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (length.isValid() && length.toLongLong() > limit_)
            Abort(QStringLiteral("CTDB answer larger than %1 bytes").arg(limit_));
    });
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        if (reply_ && reply_->bytesAvailable() > limit_)
            Abort(QStringLiteral("CTDB answer larger than %1 bytes").arg(limit_));
    });
    timer_.start(timeoutMs_);
}

void CtdbRequest::Cancel()
{
    timer_.stop();
    running_ = false;
    AbandonReply(reply_, this);
}

void CtdbRequest::Abort(const QString& why)
{
    if (!reply_ || !abortReason_.isEmpty())
        return;
    abortReason_ = why;
    reply_->abort(); // finished follows, and reports it
}

void CtdbRequest::ReplyFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (reply == nullptr || reply != reply_)
        return;
    timer_.stop();
    Answer answer;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!abortReason_.isEmpty()) {
        answer.error = abortReason_;
    } else if (!status.isValid()) {
        answer.error =
            QStringLiteral("Could not reach the CTDB server: %1").arg(reply->errorString());
    } else {
        answer.status = status.toInt();
        answer.body = reply->readAll();
        if (answer.body.size() > limit_) {
            answer.error = QStringLiteral("CTDB answer larger than %1 bytes").arg(limit_);
            answer.body.clear();
        }
        const QByteArray range = reply->rawHeader("Content-Range");
        const QRegularExpressionMatch total =
            QRegularExpression(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"))
                .match(QString::fromLatin1(range));
        if (total.hasMatch())
            answer.totalLength = total.captured(3).toLongLong();
        else if (answer.status == 200)
            answer.totalLength = answer.body.size();
    }
    reply_ = nullptr;
    reply->deleteLater();
    Finish(answer);
}

void CtdbRequest::Finish(const Answer& answer)
{
    running_ = false;
    emit Finished(answer);
}

CtdbLookup::CtdbLookup(QObject* parent) : QObject(parent)
{
    connect(&request_, &CtdbRequest::Finished, this, &CtdbLookup::Answered);
}

void CtdbLookup::Start(const QString& serverBase, const QString& tocString, int timeoutMs)
{
    url_ = CtdbLookupUrl(serverBase, tocString);
    request_.Start(url_, QByteArray(), static_cast<qint64>(ctdb::kMaxAnswerBytes), timeoutMs);
}

void CtdbLookup::Answered(const CtdbRequest::Answer& answer)
{
    CtdbLookupResult result;
    result.url = url_;
    if (!answer.error.isEmpty()) {
        result.error = answer.error;
    } else if (answer.status == 404) {
        result.outcome = CtdbLookupResult::Outcome::DiscNotFound;
    } else if (answer.status != 200) {
        result.error = QStringLiteral("The CTDB server answered HTTP %1").arg(answer.status);
    } else {
        ctdb::CtdbAnswer parsed = ctdb::ParseCtdbAnswer(
            answer.body.constData(), static_cast<std::size_t>(answer.body.size()));
        if (!parsed.Ok()) {
            result.error = QStringLiteral("The CTDB answer is not usable: %1")
                               .arg(QString::fromStdString(parsed.error));
        } else {
            // Metadata alone means the database holds no rip of the disc.
            result.outcome = parsed.entries.empty() ? CtdbLookupResult::Outcome::DiscNotFound
                                                    : CtdbLookupResult::Outcome::Found;
            result.entries = std::move(parsed.entries);
            result.skippedEntries = parsed.skippedEntries;
        }
    }
    emit Finished(result);
}

CtdbRecoveryFetch::CtdbRecoveryFetch(QObject* parent) : QObject(parent)
{
    connect(&request_, &CtdbRequest::Finished, this, &CtdbRecoveryFetch::Answered);
}

int CtdbRecoveryFetch::NextNpar(int have, int entryNpar)
{
    const int most = std::min(entryNpar, ctdb::kMaxNpar);
    for (const int npar : {4, 8, 16})
        if (npar > have && npar <= most)
            return npar;
    return 0;
}

void CtdbRecoveryFetch::Start(const QUrl& url, int entryNpar, int haveNpar, int wantNpar,
                              int timeoutMs)
{
    entryNpar_ = std::min(entryNpar, ctdb::kMaxNpar);
    haveNpar_ = haveNpar;
    wantNpar_ = wantNpar;
    const qint64 first = static_cast<qint64>(ctdb::RecoveryBytes(haveNpar));
    const qint64 last = static_cast<qint64>(ctdb::RecoveryBytes(wantNpar)) - 1;
    QUrl target = url;
    if (haveNpar < 0 || wantNpar <= haveNpar || wantNpar > entryNpar_)
        target = QUrl(); // reported as an invalid request
    request_.Start(target,
                   QByteArrayLiteral("bytes=") + QByteArray::number(first) + '-' +
                       QByteArray::number(last),
                   static_cast<qint64>(ctdb::RecoveryBytes(std::max(entryNpar_, 1))), timeoutMs);
}

void CtdbRecoveryFetch::Answered(const CtdbRequest::Answer& answer)
{
    CtdbRecoveryResult result;
    const qint64 wanted =
        static_cast<qint64>(ctdb::RecoveryBytes(wantNpar_) - ctdb::RecoveryBytes(haveNpar_));
    const qint64 whole = static_cast<qint64>(ctdb::RecoveryBytes(entryNpar_));
    if (!answer.error.isEmpty()) {
        result.error = answer.error;
    } else if (answer.status == 206 && answer.body.size() == wanted) {
        result.ok = true;
        result.data = answer.body;
        result.firstNpar = haveNpar_;
        result.lastNpar = wantNpar_;
    } else if (answer.status == 200 && answer.body.size() == whole) {
        result.ok = true;
        result.data = answer.body;
        result.firstNpar = 0;
        result.lastNpar = entryNpar_;
    } else if (answer.status == 200 || answer.status == 206) {
        result.error = QStringLiteral("The CTDB recovery data has %1 bytes where %2 were expected")
                           .arg(answer.body.size())
                           .arg(answer.status == 206 ? wanted : whole);
    } else {
        result.error = QStringLiteral("The CTDB server answered HTTP %1 for the recovery data")
                           .arg(answer.status);
    }
    emit Finished(result);
}

} // namespace sonfeld::app
