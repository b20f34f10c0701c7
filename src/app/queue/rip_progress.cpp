#include "rip_progress.h"

#include <algorithm>
#include <cmath>

namespace sonfeld::app {

namespace {
constexpr double kFramesPerSecond = 75.0;
} // namespace

void TRipProgress::Start(const std::vector<int>& lengthsFrames, qint64 startMs)
{
    tracks_.clear();
    for (int frames : lengthsFrames)
        tracks_.push_back(Track{std::max(frames, 0), 0, false});
    startMs_ = startMs;
    active_ = true;
}

void TRipProgress::Clear()
{
    tracks_.clear();
    active_ = false;
}

void TRipProgress::SetTrackProgress(int index, int percent)
{
    // A track read again (its fast read was not confirmed) starts over on
    // its row, but the queue's progress never goes back: it waits instead.
    if (Valid(index) && !tracks_[index].Done)
        tracks_[index].Percent = std::max(tracks_[index].Percent, std::clamp(percent, 0, 100));
}

void TRipProgress::SetTrackDone(int index)
{
    if (!Valid(index))
        return;
    tracks_[index].Percent = 100;
    tracks_[index].Done = true;
}

double TRipProgress::AudioSecondsDone() const
{
    double frames = 0;
    for (const Track& track : tracks_)
        frames += track.LengthFrames * (track.Percent / 100.0);
    return frames / kFramesPerSecond;
}

double TRipProgress::AudioSecondsTotal() const
{
    double frames = 0;
    for (const Track& track : tracks_)
        frames += track.LengthFrames;
    return frames / kFramesPerSecond;
}

int TRipProgress::Percent() const
{
    const double total = AudioSecondsTotal();
    if (total <= 0)
        return 0;
    return std::clamp(static_cast<int>(AudioSecondsDone() * 100.0 / total), 0, 100);
}

std::optional<double> TRipProgress::Speed(qint64 nowMs) const
{
    const double done = AudioSecondsDone();
    const double wall = static_cast<double>(nowMs - startMs_) / 1000.0;
    if (!active_ || done <= 0 || wall <= 0)
        return std::nullopt;
    return done / wall;
}

std::optional<int> TRipProgress::SecondsLeft(qint64 nowMs) const
{
    const std::optional<double> speed = Speed(nowMs);
    if (!speed)
        return std::nullopt;
    const double left = std::max(AudioSecondsTotal() - AudioSecondsDone(), 0.0);
    return static_cast<int>(std::ceil(left / *speed));
}

int TRipProgress::TracksDone() const
{
    return static_cast<int>(
        std::count_if(tracks_.begin(), tracks_.end(), [](const Track& t) { return t.Done; }));
}

QString DurationText(int seconds)
{
    seconds = std::max(seconds, 0);
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const QString rest =
        QStringLiteral("%1:%2")
            .arg(hours > 0 ? QStringLiteral("%1").arg(minutes, 2, 10, QLatin1Char('0'))
                           : QString::number(minutes))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + rest : rest;
}

TMessage RipProgressText(const TRipProgress& progress, qint64 nowMs)
{
    const std::optional<double> speed = progress.Speed(nowMs);
    const std::optional<int> left = progress.SecondsLeft(nowMs);
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "速度 %1 · 剩余 %2 · 已完成 %3/%4 首"))
        .Arg(speed ? QString::number(*speed, 'f', 1) + QStringLiteral("×") : QStringLiteral("--"))
        .Arg(left ? DurationText(*left) : QStringLiteral("--"))
        .Arg(progress.TracksDone())
        .Arg(progress.TracksTicked());
}

} // namespace sonfeld::app
