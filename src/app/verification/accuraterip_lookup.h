#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <vector>

#include "accuraterip_disc_id.h"
#include "audio/cd/verify/accuraterip_database.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace sonfeld::app {

struct AccurateRipLookupResult {
    enum class Outcome {
        Found,        // the database knows the disc; pressings holds its entries
        DiscNotFound, // the server answered that it does not know the disc
        Failed,       // no usable answer: see error
    };
    Outcome outcome = Outcome::Failed;
    std::vector<verify::AccurateRipPressing> pressings;
    QString error; // English, for the log; empty unless Failed
    QUrl url;
};

// Fetches a disc's AccurateRip database file, asynchronously. Finished comes
// exactly once per Start, always after Start returned, at the latest when the
// time-out ran out. A new Start cancels the lookup in progress without a
// Finished for it.
//
// Threads: the thread that owns the object (the UI thread); nothing blocks.
class AccurateRipLookup : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultTimeoutMs = 10000;
    // A disc's file is a few kilobytes; anything past this is not one.
    static constexpr qint64 kAnswerLimit = 1024 * 1024;

    explicit AccurateRipLookup(QObject* parent = nullptr);
    ~AccurateRipLookup() override;

    // serverBase: the AccurateRipServer setting; the database path is appended.
    void Start(const QString& serverBase, const AccurateRipDiscId& disc,
               int timeoutMs = kDefaultTimeoutMs);
    bool Running() const { return running_; }

signals:
    void Finished(const sonfeld::app::AccurateRipLookupResult& result);

private:
    void Cancel();
    void ReplyFinished();
    void TimedOut();
    void TooLarge();
    void Finish(const AccurateRipLookupResult& result);
    AccurateRipLookupResult ResultFromReply();

    QNetworkAccessManager* manager_;
    QPointer<QNetworkReply> reply_;
    QTimer timer_;
    AccurateRipDiscId disc_;
    QUrl url_;
    int timeoutMs_ = kDefaultTimeoutMs;
    bool timedOut_ = false;
    bool tooLarge_ = false;
    bool running_ = false;
    quint64 generation_ = 0; // tells a queued failure of an older Start apart
};

} // namespace sonfeld::app
