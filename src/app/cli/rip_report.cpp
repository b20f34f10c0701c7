#include "rip_report.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/text/plain_text.h"
#include "app/tracks/track_list_model.h"

namespace sonfeld::app {

namespace {

bool Running(TTrackStatus status)
{
    return status == TTrackStatus::Reading || status == TTrackStatus::Converting ||
           status == TTrackStatus::ReReading;
}

bool Ended(TTrackStatus status)
{
    return Finished(status) || status == TTrackStatus::Failed || status == TTrackStatus::Cancelled;
}

QString Hex(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

bool Wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

QString AccurateRipName(verify::AccurateRipStatus status)
{
    switch (status) {
    case verify::AccurateRipStatus::Match: return QStringLiteral("match");
    case verify::AccurateRipStatus::Mismatch: return QStringLiteral("mismatch");
    case verify::AccurateRipStatus::NotInDatabase: return QStringLiteral("not-in-database");
    case verify::AccurateRipStatus::LookupFailed: return QStringLiteral("lookup-failed");
    }
    return {};
}

QJsonValue OrNull(const std::optional<double>& value, int decimals)
{
    if (!value)
        return QJsonValue::Null;
    const double scale = std::pow(10.0, decimals);
    return std::round(*value * scale) / scale;
}

} // namespace

int DisplayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += Wide(c) ? 2 : 1;
    return width;
}

QString FitToWidth(const QString& text, int width)
{
    QString fitted;
    int used = 0;
    for (const char32_t c : text.toUcs4()) {
        const int w = Wide(c) ? 2 : 1;
        if (used + w > width)
            break;
        fitted += QString::fromUcs4(&c, 1);
        used += w;
    }
    return fitted + QString(width - used, QLatin1Char(' '));
}

QString StatusName(TTrackStatus status)
{
    switch (status) {
    case TTrackStatus::NotConverted: return QStringLiteral("waiting");
    case TTrackStatus::Reading: return QStringLiteral("reading");
    case TTrackStatus::Converting: return QStringLiteral("encoding");
    case TTrackStatus::Converted: return QStringLiteral("ripped");
    case TTrackStatus::Cancelled: return QStringLiteral("stopped");
    case TTrackStatus::Failed: return QStringLiteral("failed");
    case TTrackStatus::DataTrack: return QStringLiteral("data");
    case TTrackStatus::ReReading: return QStringLiteral("re-reading");
    case TTrackStatus::ConvertedUnproven: return QStringLiteral("ripped-unproven");
    case TTrackStatus::ConvertedSuspicious: return QStringLiteral("ripped-suspicious");
    }
    return {};
}

QString ClockText(double seconds)
{
    const auto whole = static_cast<qint64>(std::llround(std::max(seconds, 0.0)));
    const qint64 hours = whole / 3600;
    const QString minutesSeconds =
        QStringLiteral("%1:%2")
            .arg(hours > 0 ? QStringLiteral("%1").arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
                           : QString::number(whole / 60))
            .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesSeconds : minutesSeconds;
}

TRipReport::TRipReport(TTrackListModel& rows, TReportStyle style, QTextStream& out,
                       QTextStream& err, TProofs proofs, TTargets targets, TClock clock,
                       int columns)
    : rows_(rows), style_(style), out_(out), err_(err), proofs_(std::move(proofs)),
      targets_(std::move(targets)), clock_(std::move(clock)), columns_(std::max(columns, 20))
{
    info_ = style == TReportStyle::Json ? &err_ : style == TReportStyle::Quiet ? &nowhere_ : &out_;
    if (!clock_) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        clock_ = [timer] { return timer->elapsed(); };
    }
    for (int row = 0; row < rows_.rowCount(); ++row)
        tracks_[rows_.TrackNumberOfRow(row)].Status = rows_.Status(row);
    connect(&rows_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                for (int row = from.row(); row <= to.row(); ++row)
                    for (int column = from.column(); column <= to.column(); ++column)
                        RowChanged(row, column);
            });
}

TRipReport::~TRipReport() = default;

void TRipReport::RowChanged(int row, int column)
{
    const int track = rows_.TrackNumberOfRow(row);
    if (track == 0 || finished_)
        return;
    TTrack& state = tracks_[track];
    if (column == tlStatus) {
        if (rows_.Status(row) != state.Status)
            StatusChanged(row, rows_.Status(row));
        return;
    }
    if (column != tlProg || state.Done)
        return;
    if (!state.Started && Running(state.Status))
        Started(row);
    const qint64 now = clock_();
    if (style_ == TReportStyle::Terminal && now - lastDraw_ >= kRedrawMs) {
        Draw();
    } else if (style_ == TReportStyle::Json && Running(state.Status) &&
               (!state.LastProgressEvent || now - *state.LastProgressEvent >= kJsonProgressMs)) {
        state.LastProgressEvent = now;
        const TOverall overall = Overall();
        Write({{QStringLiteral("event"), QStringLiteral("progress")},
               {QStringLiteral("track"), track},
               {QStringLiteral("status"), StatusName(state.Status)},
               {QStringLiteral("percent"), rows_.Progress(row)},
               {QStringLiteral("overall_percent"), OrNull(overall.Percent, 1)},
               {QStringLiteral("speed"), OrNull(overall.Speed, 2)},
               {QStringLiteral("seconds_left"), OrNull(overall.SecondsLeft, 0)}});
    }
}

void TRipReport::StatusChanged(int row, TTrackStatus status)
{
    const int track = rows_.TrackNumberOfRow(row);
    TTrack& state = tracks_[track];
    state.Status = status;
    if (Running(status) && !state.Started)
        Started(row);
    const QString line = rows_.Label(row) + QStringLiteral(": ") + StatusText(status);
    switch (style_) {
    case TReportStyle::Lines: out_ << line << Qt::endl; break;
    case TReportStyle::Terminal:
        // The running tracks are on the progress lines; an end stays above them.
        if (Ended(status))
            Note(line);
        else
            Draw();
        break;
    case TReportStyle::Json:
        if (Finished(status) && proofs_(track).Verdict.isEmpty())
            state.AwaitsVerdict = true;
        else if (Ended(status))
            TrackDone(track);
        break;
    case TReportStyle::Quiet: break;
    }
}

void TRipReport::Started(int row)
{
    const int track = rows_.TrackNumberOfRow(row);
    tracks_[track].Started = true;
    if (!start_)
        start_ = clock_();
    const QString target = targets_ ? targets_(row) : QString();
    if (style_ == TReportStyle::Json) {
        Write({{QStringLiteral("event"), QStringLiteral("track-started")},
               {QStringLiteral("track"), track},
               {QStringLiteral("label"), rows_.Label(row)},
               {QStringLiteral("name"), rows_.Name(row)},
               {QStringLiteral("target"), target.isEmpty() ? QJsonValue() : QJsonValue(target)},
               {QStringLiteral("seconds"), rows_.LengthFrames(row) / 75.0}});
    } else if (!target.isEmpty()) {
        // The file as the queue names it, its template's folders included.
        Note(rows_.Label(row) + QStringLiteral(" -> ") + StripControls(target));
    }
}

void TRipReport::TrackVerified(int track)
{
    if (finished_)
        return;
    const TTrackProof proof = proofs_(track);
    if (style_ == TReportStyle::Json) {
        TTrack& state = tracks_[track];
        if (state.AwaitsVerdict && !proof.Verdict.isEmpty())
            TrackDone(track);
        return;
    }
    if (proof.Verdict.isEmpty() || !proof.Checksums)
        return;
    QString line = rows_.Label(rows_.RowOfTrack(track)) + QStringLiteral(": ") + proof.Verdict +
                   QStringLiteral(", CRC32 ") + Hex(proof.Checksums->crc32);
    if (proof.TestCrc)
        line += (proof.CopyMismatch ? QStringLiteral(", 测试 CRC32 不一致 ")
                                    : QStringLiteral(", 测试 CRC32 ")) +
                Hex(*proof.TestCrc);
    Note(line);
}

void TRipReport::TrackDone(int track)
{
    TTrack& state = tracks_[track];
    state.Done = true;
    state.AwaitsVerdict = false;
    const int row = rows_.RowOfTrack(track);
    const TTrackProof proof = proofs_(track);
    QJsonObject event{{QStringLiteral("event"), QStringLiteral("track-done")},
                      {QStringLiteral("track"), track},
                      {QStringLiteral("label"), rows_.Label(row)},
                      {QStringLiteral("status"), StatusName(state.Status)},
                      {QStringLiteral("status_text"), StatusText(state.Status)}};
    if (state.Status == TTrackStatus::Failed)
        event.insert(QStringLiteral("reason"), rows_.FailReason(row));
    if (Finished(state.Status) && targets_)
        event.insert(QStringLiteral("target"), targets_(row));
    QJsonValue verdict;
    if (!proof.Verdict.isEmpty()) {
        QJsonObject object{{QStringLiteral("text"), proof.Verdict}};
        if (proof.AccurateRip) {
            object.insert(QStringLiteral("accuraterip"),
                          AccurateRipName(proof.AccurateRip->status));
            object.insert(QStringLiteral("confidence"), proof.AccurateRip->confidence);
        }
        verdict = object;
    }
    event.insert(QStringLiteral("verdict"), verdict);
    QJsonValue checksums;
    if (proof.Checksums) {
        QJsonObject object{
            {QStringLiteral("crc32"), Hex(proof.Checksums->crc32)},
            {QStringLiteral("crc32_without_nulls"), Hex(proof.Checksums->crc32WithoutNulls)},
            {QStringLiteral("accuraterip_v1"), Hex(proof.Checksums->accurateRipV1)},
            {QStringLiteral("accuraterip_v2"), Hex(proof.Checksums->accurateRipV2)},
            {QStringLiteral("peak_percent"),
             std::round(proof.Checksums->PeakPercent() * 10.0) / 10.0}};
        if (proof.TestCrc) {
            object.insert(QStringLiteral("test_crc32"), Hex(*proof.TestCrc));
            object.insert(QStringLiteral("copy_matches_test"), !proof.CopyMismatch);
        }
        checksums = object;
    }
    event.insert(QStringLiteral("checksums"), checksums);
    Write(event);
}

void TRipReport::Write(const QJsonObject& event)
{
    out_ << QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)) << Qt::endl;
}

void TRipReport::Note(const QString& text)
{
    switch (style_) {
    case TReportStyle::Terminal:
        Clear();
        out_ << text << Qt::endl;
        Draw();
        break;
    case TReportStyle::Lines: out_ << text << Qt::endl; break;
    case TReportStyle::Json: err_ << text << Qt::endl; break;
    case TReportStyle::Quiet: break;
    }
}

void TRipReport::SummaryLine(const QString& text)
{
    Clear();
    (style_ == TReportStyle::Json ? err_ : out_) << text << Qt::endl;
    if (!finished_)
        Draw();
}

void TRipReport::Error(const QString& text)
{
    Clear();
    err_ << text << Qt::endl;
    if (!finished_)
        Draw();
}

void TRipReport::Clear()
{
    if (drawn_ == 0)
        return;
    // Back to the first progress line, and everything from there is wiped.
    out_ << "\r\x1b[" << drawn_ << "A\x1b[J" << Qt::flush;
    drawn_ = 0;
}

void TRipReport::Draw()
{
    if (style_ != TReportStyle::Terminal || finished_)
        return;
    Clear();
    lastDraw_ = clock_();
    QStringList lines;
    for (int row = 0; row < rows_.rowCount(); ++row) {
        const TTrackStatus status = rows_.Status(row);
        if (!Running(status))
            continue;
        const int progress = std::clamp(rows_.Progress(row), 0, 100);
        const int filled = progress / 5;
        lines << FitToWidth(rows_.Label(row), 10) + FitToWidth(StatusText(status), 10) +
                     QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                     QString(20 - filled, QLatin1Char('.')) + QStringLiteral("] ") +
                     QStringLiteral("%1%").arg(progress, 3);
    }
    if (!start_)
        return;
    lines << OverallText();
    for (const QString& line : lines)
        // Never as wide as the terminal: a wrapped line would throw the count off.
        out_ << "\x1b[2K" << FitToWidth(line, columns_ - 1).trimmed() << '\n';
    out_ << Qt::flush;
    drawn_ = static_cast<int>(lines.size());
}

TRipReport::TOverall TRipReport::Overall() const
{
    double total = 0;
    double done = 0;
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!rows_.Checked(row))
            continue;
        const double seconds = rows_.LengthFrames(row) / 75.0;
        total += seconds;
        const TTrackStatus status = rows_.Status(row);
        if (Ended(status))
            done += seconds;
        else if (Running(status))
            done += seconds * std::clamp(rows_.Progress(row), 0, 100) / 100.0;
    }
    TOverall overall;
    overall.Percent = total > 0 ? done * 100.0 / total : 0.0;
    const double elapsed = start_ ? (clock_() - *start_) / 1000.0 : 0.0;
    // Under a second says nothing of the speed yet.
    if (elapsed >= 1.0 && done > 0) {
        overall.Speed = done / elapsed;
        overall.SecondsLeft = (total - done) / *overall.Speed;
    }
    return overall;
}

QString TRipReport::OverallText() const
{
    const TOverall overall = Overall();
    return QStringLiteral("Overall %1%  %2  %3")
        .arg(static_cast<int>(overall.Percent), 3)
        .arg(overall.Speed ? QString::number(*overall.Speed, 'f', 1) + QStringLiteral("×")
                           : QStringLiteral("-×"))
        .arg(overall.SecondsLeft ? ClockText(*overall.SecondsLeft) + QStringLiteral(" left")
                                 : QStringLiteral("-:-- left"));
}

TRipTotals TRipReport::Totals() const
{
    TRipTotals totals;
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!rows_.Checked(row))
            continue;
        ++totals.Requested;
        const TTrackStatus status = rows_.Status(row);
        if (status == TTrackStatus::Failed) {
            ++totals.Failed;
        } else if (Finished(status)) {
            ++totals.Ripped;
            const TTrackProof proof = proofs_(rows_.TrackNumberOfRow(row));
            if (proof.AccurateRip && proof.AccurateRip->status == verify::AccurateRipStatus::Match)
                ++totals.Accurate;
            if (proof.AccurateRip &&
                proof.AccurateRip->status == verify::AccurateRipStatus::Mismatch)
                ++totals.Mismatched;
        }
    }
    totals.Stopped = totals.Requested - totals.Ripped - totals.Failed;
    return totals;
}

void TRipReport::PrintTable()
{
    struct TLine {
        QString Label, Status, Verdict, Crc;
    };
    std::vector<TLine> lines{{QStringLiteral("Track"), QStringLiteral("Status"),
                              QStringLiteral("Verdict"), QStringLiteral("CRC32")}};
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!rows_.Checked(row))
            continue;
        const TTrackProof proof = proofs_(rows_.TrackNumberOfRow(row));
        const bool ripped = Finished(rows_.Status(row));
        lines.push_back(
            {rows_.Label(row), rows_.StatusText(row),
             ripped && !proof.Verdict.isEmpty() ? proof.Verdict : QStringLiteral("-"),
             ripped && proof.Checksums ? Hex(proof.Checksums->crc32) : QStringLiteral("-")});
    }
    int label = 0;
    int status = 0;
    int verdict = 0;
    for (const TLine& line : lines) {
        label = std::max(label, DisplayWidth(line.Label));
        status = std::max(status, DisplayWidth(line.Status));
        verdict = std::max(verdict, DisplayWidth(StripControls(line.Verdict)));
    }
    for (const TLine& line : lines)
        SummaryLine(QStringLiteral("  ") + FitToWidth(line.Label, label + 2) +
                    FitToWidth(line.Status, status + 2) +
                    FitToWidth(StripControls(line.Verdict), verdict + 2) + line.Crc);
}

TRipTotals TRipReport::Finish(const QString& folder, int exitCode)
{
    Clear();
    finished_ = true;
    const TRipTotals totals = Totals();
    if (style_ != TReportStyle::Json) {
        PrintTable();
        SummaryLine(QStringLiteral("Totals: %1 of %2 ripped, %3 accurate, %4 mismatched, "
                                   "%5 failed, %6 stopped or not started")
                        .arg(totals.Ripped)
                        .arg(totals.Requested)
                        .arg(totals.Accurate)
                        .arg(totals.Mismatched)
                        .arg(totals.Failed)
                        .arg(totals.Stopped));
        return totals;
    }
    // Ripped tracks whose verdict never came end without one.
    for (auto& [track, state] : tracks_)
        if (state.AwaitsVerdict)
            TrackDone(track);
    Write({{QStringLiteral("event"), QStringLiteral("rip-done")},
           {QStringLiteral("requested"), totals.Requested},
           {QStringLiteral("ripped"), totals.Ripped},
           {QStringLiteral("accurate"), totals.Accurate},
           {QStringLiteral("mismatched"), totals.Mismatched},
           {QStringLiteral("failed"), totals.Failed},
           {QStringLiteral("stopped"), totals.Stopped},
           {QStringLiteral("folder"), folder},
           {QStringLiteral("exit_code"), exitCode}});
    return totals;
}

} // namespace sonfeld::app
