#include "ctdb_repair_job.h"

#include <QThread>

namespace sonfeld::app {

CtdbRepairJob::CtdbRepairJob(QObject* parent) : QObject(parent)
{
    connect(&fetch_, &CtdbRecoveryFetch::Finished, this, &CtdbRepairJob::Fetched);
}

CtdbRepairJob::~CtdbRepairJob() = default;

void CtdbRepairJob::Start(const QUrl& recoveryUrl, const ctdb::CtdbEntry& entry, int offset,
                          std::shared_ptr<const ctdb::CtdbStreamAnalysis> analysis, int timeoutMs)
{
    ++generation_;
    url_ = recoveryUrl;
    entry_ = entry;
    offset_ = offset;
    timeoutMs_ = timeoutMs;
    analysis_ = std::move(analysis);
    record_.clear();
    have_ = 0;
    tried_ = 0;
    running_ = true;
    FetchNext(0);
}

void CtdbRepairJob::FetchNext(int have)
{
    const int next =
        CtdbRecoveryFetch::NextNpar(have, std::min(entry_.npar, analysis_ ? analysis_->Npar() : 0));
    if (next == 0) {
        // Reported later, so callers see the same order as for a network answer.
        const quint64 generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation != generation_ || !running_)
                    return;
                running_ = false;
                CtdbRepairResult result;
                result.error =
                    QStringLiteral("The CTDB entry has no recovery data this rip can use");
                emit Finished(result);
            },
            Qt::QueuedConnection);
        return;
    }
    fetch_.Start(url_, entry_.npar, have, next, timeoutMs_);
}

void CtdbRepairJob::Fetched(const CtdbRecoveryResult& fetched)
{
    if (!running_)
        return;
    if (!fetched.ok) {
        running_ = false;
        CtdbRepairResult result;
        result.error = fetched.error;
        emit Finished(result);
        return;
    }
    if (fetched.firstNpar == 0)
        record_ = fetched.data;
    else
        record_ += fetched.data;
    have_ = fetched.lastNpar;
    // The whole record may have come at once: try each step it holds that
    // was not tried yet.
    const QByteArray record = record_;
    const ctdb::CtdbEntry entry = entry_;
    const int offset = offset_;
    const int have = std::min(have_, analysis_->Npar());
    const int tried = tried_;
    tried_ = have;
    const std::shared_ptr<const ctdb::CtdbStreamAnalysis> analysis = analysis_;
    auto plan = std::make_shared<ctdb::CtdbRepairPlan>();
    QThread* worker = QThread::create([plan, record, entry, offset, have, tried, analysis] {
        for (int npar = CtdbRecoveryFetch::NextNpar(tried, have); npar != 0;
             npar = CtdbRecoveryFetch::NextNpar(npar, have)) {
            *plan = ctdb::PlanRepair(*analysis, entry, offset,
                                     reinterpret_cast<const std::uint8_t*>(record.constData()),
                                     static_cast<std::size_t>(record.size()), npar);
            if (plan->proven)
                break;
        }
    });
    // Queued back to this thread; gone with this object.
    const quint64 generation = generation_;
    connect(worker, &QThread::finished, this,
            [this, generation, plan] { Planned(generation, *plan); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void CtdbRepairJob::Planned(quint64 generation, const ctdb::CtdbRepairPlan& plan)
{
    if (generation != generation_ || !running_)
        return;
    const int next = CtdbRecoveryFetch::NextNpar(have_, std::min(entry_.npar, analysis_->Npar()));
    if (plan.proven || next == 0) {
        running_ = false;
        CtdbRepairResult result;
        result.plan = plan;
        emit Finished(result);
        return;
    }
    FetchNext(have_);
}

} // namespace sonfeld::app
