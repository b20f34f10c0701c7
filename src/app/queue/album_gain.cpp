#include "album_gain.h"

#include <algorithm>

#include "app/settings/setting_keys.h"

namespace sonfeld::app {

namespace {

std::optional<bool> replayGainForThisRun;

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

bool ReplayGainWanted()
{
    return replayGainForThisRun.value_or(Read(key::kReplayGain));
}

void SetReplayGainForThisRun(std::optional<bool> wanted)
{
    replayGainForThisRun = wanted;
}

void TAlbumGain::Begin(bool enabled, std::vector<int> discTracks)
{
    enabled_ = enabled;
    discTracks_ = std::move(discTracks);
    meters_.clear();
    problems_.clear();
    files_.clear();
}

void TAlbumGain::Measured(int track, std::unique_ptr<ReplayGainMeter> meter,
                          const std::string& problem)
{
    if (!enabled_)
        return;
    problems_.erase(track);
    if (!meter && !problem.empty())
        problems_[track] = problem;
    meters_[track] = std::move(meter);
}

void TAlbumGain::AddTrackValues(int track, TrackTags& tags) const
{
    const auto found = meters_.find(track);
    if (!enabled_ || found == meters_.end() || !found->second)
        return;
    const ReplayGainValues values = found->second->Track();
    if (!values.valid)
        return;
    tags.replayGainTrackGain = GainText(values.gain);
    tags.replayGainTrackPeak = PeakText(values.peak);
}

void TAlbumGain::Kept(int track, const std::string& file)
{
    if (enabled_)
        files_[track] = file;
}

TAlbumGainPlan TAlbumGain::Finish(int id3Version) const
{
    TAlbumGainPlan plan;
    plan.Id3Version = id3Version;
    if (!enabled_ || files_.empty())
        return plan;
    if (!problems_.empty())
        plan.Notes << QStringLiteral("ReplayGain 未测量：%1").arg(Text(problems_.begin()->second));
    std::vector<int> missing;
    std::vector<const ReplayGainMeter*> meters;
    std::vector<std::string> files;
    for (const int track : discTracks_) {
        const auto meter = meters_.find(track);
        const auto file = files_.find(track);
        if (meter == meters_.end() || !meter->second || file == files_.end())
            missing.push_back(track);
        else {
            meters.push_back(meter->second.get());
            files.push_back(file->second);
        }
    }
    if (!missing.empty()) {
        // Album values over part of an album would level it wrongly.
        QStringList numbers;
        for (const int track : missing)
            numbers << QString::number(track);
        plan.Notes << QStringLiteral("未写入专辑增益：本次没有转换并测量全部音轨（缺少音轨 %1）。")
                          .arg(numbers.join(QStringLiteral(", ")));
        return plan;
    }
    plan.Album = ReplayGainMeter::Album(meters);
    if (!plan.Album.valid) {
        plan.Notes << QStringLiteral("未写入专辑增益：整张专辑没有可测量的声音。");
        return plan;
    }
    plan.Files = std::move(files);
    plan.Notes << QStringLiteral("专辑增益：%1，峰值 %2")
                      .arg(Text(GainText(plan.Album.gain)), Text(PeakText(plan.Album.peak)));
    return plan;
}

QStringList RunAlbumPass(const TAlbumGainPlan& plan,
                         const std::function<void(std::size_t)>& beforeFile)
{
    QStringList notes;
    for (const std::string& failure :
         WriteAlbumGain(plan.Files, plan.Album, plan.Id3Version, beforeFile))
        notes << QStringLiteral("无法写入专辑增益：%1").arg(Text(failure));
    return notes;
}

} // namespace sonfeld::app
