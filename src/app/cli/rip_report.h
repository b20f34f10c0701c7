#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "app/tracks/track_status.h"
#include "audio/cd/verify/accuraterip_verdict.h"
#include "audio/cd/verify/track_checksums.h"

namespace sonfeld::app {

class TTrackListModel;

// How the command line reports a rip on standard output.
enum class TReportStyle {
    Terminal, // one line per running track, redrawn in place, and the overall line
    Lines,    // one line per track status change (a pipe, a file)
    Json,     // one JSON object per event; human text goes to standard error
    Quiet,    // errors and the summary only
};

// What a rip proved of a track, for the verdict lines, the JSON events and
// the summary table.
struct TTrackProof {
    QString Verdict; // "精确 (可信度 N)", …; empty while not known
    std::optional<verify::AccurateRipVerdict> AccurateRip;
    std::optional<verify::TrackChecksums> Checksums;
    std::optional<quint32> TestCrc; // the test read's CRC32 (test and copy)
    bool CopyMismatch = false;      // the copy's CRC32 differs from the test's
};

// The totals of a rip, as the last lines and the "rip-done" event give them.
struct TRipTotals {
    int Requested = 0;
    int Ripped = 0;
    int Accurate = 0;
    int Mismatched = 0;
    int Failed = 0;
    int Stopped = 0;
};

// Watches the rows of a rip (their status and progress, as the queue sets
// them) and reports them in one of the styles; the verdicts come through
// TrackVerified. Times come from the clock (milliseconds, never going back),
// so tests can drive the throttling without waiting. UI thread.
class TRipReport final : public QObject {
    Q_OBJECT
public:
    using TClock = std::function<qint64()>;
    using TProofs = std::function<TTrackProof(int track)>;
    using TTargets = std::function<QString(int row)>;

    // out takes the report itself; err takes human text in the JSON style and
    // the errors. columns: the terminal's width.
    TRipReport(TTrackListModel& rows, TReportStyle style, QTextStream& out, QTextStream& err,
               TProofs proofs, TTargets targets = {}, TClock clock = {}, int columns = 80);
    ~TRipReport() override;

    TReportStyle Style() const { return style_; }
    // Where text goes before the rip starts (lookups, names): standard output,
    // standard error in the JSON style, nowhere when quiet.
    QTextStream& Info() { return *info_; }
    // A line for the user while the rip runs: above the progress lines.
    void Note(const QString& text);
    // A line of the summary: printed in every style (on standard error in JSON).
    void SummaryLine(const QString& text);
    // An error, on standard error, with the progress lines cleared first.
    void Error(const QString& text);
    // The track's verdict is known.
    void TrackVerified(int track);
    // The rip is over: the tracks still waiting for a verdict are reported
    // without one, then the table of the requested tracks and the totals (or
    // the "rip-done" event). Returns the totals.
    TRipTotals Finish(const QString& folder, int exitCode);
    // The totals from the rows and proofs as they stand.
    TRipTotals Totals() const;

    // The "started" event and the per-track progress events are written at
    // most this often.
    static constexpr qint64 kJsonProgressMs = 1000;
    // The terminal is redrawn at most this often for progress alone.
    static constexpr qint64 kRedrawMs = 100;

private:
    struct TTrack {
        TTrackStatus Status = TTrackStatus::NotConverted;
        bool Started = false;
        bool Done = false;          // its "track-done" was written
        bool AwaitsVerdict = false; // ripped, the verdict still to come
        std::optional<qint64> LastProgressEvent;
    };

    void RowChanged(int row, int column);
    void StatusChanged(int row, TTrackStatus status);
    void Started(int row);
    void TrackDone(int track);
    void Write(const QJsonObject& event);
    // The terminal's progress lines.
    void Clear();
    void Draw();
    QString OverallText() const;
    // Overall percent, speed (audio seconds per second) and seconds left.
    struct TOverall {
        double Percent = 0;
        std::optional<double> Speed;
        std::optional<double> SecondsLeft;
    };
    TOverall Overall() const;
    void PrintTable();

    TTrackListModel& rows_;
    TReportStyle style_;
    QTextStream& out_;
    QTextStream& err_;
    QTextStream* info_;
    QString discarded_;
    QTextStream nowhere_{&discarded_};
    TProofs proofs_;
    TTargets targets_;
    TClock clock_;
    int columns_;
    std::map<int, TTrack> tracks_; // by track number
    std::optional<qint64> start_;
    qint64 lastDraw_ = 0;
    int drawn_ = 0; // progress lines on the terminal now
    bool finished_ = false;
};

// How many terminal columns the text takes: CJK characters take two.
int DisplayWidth(const QString& text);
// The text padded with spaces to the width, or cut to it.
QString FitToWidth(const QString& text, int width);
// The status's name in the JSON events: "waiting", "reading", "encoding",
// "ripped", "stopped", "failed", "data", "re-reading".
QString StatusName(TTrackStatus status);
// 0:07, 1:02:03.
QString ClockText(double seconds);

} // namespace sonfeld::app
