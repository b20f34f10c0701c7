#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "audio/cd/disc/disc_model.h"
#include "audio/cd/verify/accuraterip_database.h"

namespace sonfeld::app {

// What a search reads and compares with.
struct TOffsetSearchRequest {
    int Drive = 0;
    QString DriveName;
    int Track = 0; // a track that did not match
    disc::DiscModel Disc;
    std::vector<verify::AccurateRipPressing> Pressings;
};

// Reads the track uncorrected with ±2940 samples around it from the drive
// and returns the read offset at which its whole-track checksum matches the
// database, if any. Blocking: reads the track once more (and the neighbouring
// tracks up to the margins). Stops early, finding nothing, once stop is set.
// Raises what the CD input raises.
std::optional<int> SearchReadOffset(const TOffsetSearchRequest& request,
                                    const std::atomic<bool>& stop);

// One search at a time on a thread of its own, so the window goes on. UI thread.
class TOffsetSearch final : public QObject {
    Q_OBJECT
public:
    explicit TOffsetSearch(QObject* parent = nullptr);
    ~TOffsetSearch() override; // stops and waits for a running search

    // Ignored while a search runs.
    void Start(const TOffsetSearchRequest& request);
    bool Running() const { return thread_ != nullptr; }
    // Ends a running search without a Finished; waits for its thread.
    void Cancel();

signals:
    // offset: where the drive's tracks match; none when nothing matched or
    // the read failed (error says why).
    void Finished(const QString& driveName, std::optional<int> offset, const QString& error);

private:
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> stop_{false};
    // Tells the answer of a cancelled search apart from that of a newer one.
    quint64 generation_ = 0;
};

} // namespace sonfeld::app
