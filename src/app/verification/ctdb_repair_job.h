#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

#include "audio/cd/ctdb/ctdb_repair.h"
#include "ctdb_lookup.h"

namespace sonfeld::app {

struct CtdbRepairResult {
    ctdb::CtdbRepairPlan plan; // proven, or the reason of the last attempt
    QString error;             // the recovery data could not be fetched
};

// Works out a proven repair of a rip against one entry: fetches the entry's
// recovery data step by step (npar 4, then 8, then 16, never above the
// entry's) and tries each step, the decoding on a worker thread. Finished
// comes exactly once per Start, after Start returned. Nothing of the rip is
// changed here: a proven plan is for the caller to apply.
//
// The analysis must stay alive and unchanged until Finished.
class CtdbRepairJob : public QObject {
    Q_OBJECT

public:
    explicit CtdbRepairJob(QObject* parent = nullptr);
    ~CtdbRepairJob() override;

    void Start(const QUrl& recoveryUrl, const ctdb::CtdbEntry& entry, int offset,
               std::shared_ptr<const ctdb::CtdbStreamAnalysis> analysis,
               int timeoutMs = CtdbRecoveryFetch::kDefaultTimeoutMs);
    bool Running() const { return running_; }

signals:
    void Finished(const sonfeld::app::CtdbRepairResult& result);

private:
    void FetchNext(int have);
    void Fetched(const CtdbRecoveryResult& result);
    void Planned(quint64 generation, const ctdb::CtdbRepairPlan& plan);

    CtdbRecoveryFetch fetch_;
    QUrl url_;
    ctdb::CtdbEntry entry_;
    int offset_ = 0;
    int timeoutMs_ = 0;
    std::shared_ptr<const ctdb::CtdbStreamAnalysis> analysis_;
    QByteArray record_;
    int have_ = 0;  // syndromes per column fetched
    int tried_ = 0; // and already tried
    bool running_ = false;
    quint64 generation_ = 0;
};

} // namespace sonfeld::app
