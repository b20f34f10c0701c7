#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <vector>

#include "audio/cd/ctdb/ctdb_answer.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace sonfeld::app {

// "Sonfeld/<version> (Linux)", sent with every request to the database.
QString CtdbUserAgent();
// The lookup address below the CTDBServer setting's base for a TOC string.
QUrl CtdbLookupUrl(const QString& serverBase, const QString& tocString);
// An entry's recovery data address: a path is taken below the base's host.
// Invalid when neither http(s) nor a path.
QUrl CtdbRecoveryUrl(const QString& serverBase, const QString& parity);

// One asynchronous GET with a time-out and a size cap; the base of the
// lookup and the recovery data fetch.
class CtdbRequest : public QObject {
    Q_OBJECT

public:
    struct Answer {
        int status = 0; // HTTP status; 0 when none came
        QByteArray body;
        qint64 totalLength = -1; // from Content-Range or Content-Length, -1 when absent
        QString error;           // English, for the log; empty when an answer came
    };

    explicit CtdbRequest(QObject* parent = nullptr);
    ~CtdbRequest() override;

    // Finished comes exactly once per Start, after Start returned; a new
    // Start cancels the one in progress without a Finished for it.
    void Start(const QUrl& url, const QByteArray& range, qint64 limit, int timeoutMs);
    void Cancel();
    bool Running() const { return running_; }

signals:
    void Finished(const sonfeld::app::CtdbRequest::Answer& answer);

private:
    void ReplyFinished();
    void Abort(const QString& why);
    void Finish(const Answer& answer);

    QNetworkAccessManager* manager_;
    QPointer<QNetworkReply> reply_;
    QTimer timer_;
    qint64 limit_ = 0;
    int timeoutMs_ = 0;
    QString abortReason_;
    bool running_ = false;
    quint64 generation_ = 0;
};

struct CtdbLookupResult {
    enum class Outcome {
        Found,        // entries holds the database's entries for the disc
        DiscNotFound, // the database does not know the disc
        Failed,       // no usable answer: see error ("无法连接" in the window)
    };
    Outcome outcome = Outcome::Failed;
    std::vector<ctdb::CtdbEntry> entries;
    int skippedEntries = 0;
    QString error;
    QUrl url;
};

// Looks a disc up (fuzzy, no metadata), asynchronously: Finished comes
// exactly once per Start, always after Start returned, at the latest when the
// time-out ran out. A new Start cancels the lookup in progress.
class CtdbLookup : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultTimeoutMs = 10000;

    explicit CtdbLookup(QObject* parent = nullptr);

    // serverBase: the CTDBServer setting; tocString: ctdb::CtdbTocString of the disc.
    void Start(const QString& serverBase, const QString& tocString,
               int timeoutMs = kDefaultTimeoutMs);
    bool Running() const { return request_.Running(); }

signals:
    void Finished(const sonfeld::app::CtdbLookupResult& result);

private:
    void Answered(const CtdbRequest::Answer& answer);

    CtdbRequest request_;
    QUrl url_;
};

struct CtdbRecoveryResult {
    bool ok = false;
    // Syndromes [firstNpar, lastNpar) of every column, index-major: append
    // to what came before (firstNpar is 0 when the server sent everything).
    QByteArray data;
    int firstNpar = 0;
    int lastNpar = 0;
    QString error;
};

// Fetches part of an entry's recovery data with a byte range, the next step
// of npar 4 -> 8 -> 16: bytes [have*23520, want*23520). Accepts 206 with
// exactly that length, or 200 with the whole record of the entry's npar.
class CtdbRecoveryFetch : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultTimeoutMs = 30000;

    explicit CtdbRecoveryFetch(QObject* parent = nullptr);

    // The npar to ask for after `have` (4, 8, 16, never above the entry's);
    // 0 when there is nothing more.
    static int NextNpar(int have, int entryNpar);

    void Start(const QUrl& url, int entryNpar, int haveNpar, int wantNpar,
               int timeoutMs = kDefaultTimeoutMs);
    bool Running() const { return request_.Running(); }

signals:
    void Finished(const sonfeld::app::CtdbRecoveryResult& result);

private:
    void Answered(const CtdbRequest::Answer& answer);

    CtdbRequest request_;
    int entryNpar_ = 0;
    int haveNpar_ = 0;
    int wantNpar_ = 0;
};

} // namespace sonfeld::app
