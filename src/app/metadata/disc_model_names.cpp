#include "disc_model_names.h"

#include "audio/cd/disc/disc_ids.h"
#include "audio/cd/disc/disc_model.h"

namespace sonfeld::app::metadata {

TDiscKey DiscKeyOf(const disc::DiscModel& model)
{
    TDiscKey key;
    if (model.tracks.empty())
        return key;
    key.musicBrainzDiscId = QString::fromStdString(disc::MusicBrainzId(model));
    key.musicBrainzToc = QString::fromStdString(disc::MusicBrainzToc(model));
    key.freedbId = QString::fromStdString(disc::FreedbIdText(disc::ComputeFreedbId(model)));
    for (const disc::Track& track : model.tracks)
        key.freedbOffsets.append(track.startLsn + disc::kPregapSectors);
    key.freedbLeadout = model.leadOutLsn + disc::kPregapSectors;
    key.trackCount = static_cast<int>(model.AudioTracks().size());
    return key;
}

TCdText CdTextOf(const disc::DiscModel& model)
{
    TCdText text;
    text.title = QString::fromStdString(model.text.title);
    text.performer = QString::fromStdString(model.text.performer);
    text.barcode = QString::fromStdString(model.mcn);
    bool anyTrackText = false;
    for (const disc::Track& track : model.tracks)
        anyTrackText = anyTrackText || !track.text.Empty() || !track.isrc.empty();
    if (!anyTrackText)
        return text;
    for (const disc::Track& track : model.tracks) {
        text.trackTitles << QString::fromStdString(track.text.title);
        text.trackPerformers << QString::fromStdString(track.text.performer);
        text.trackIsrcs << QString::fromStdString(track.isrc);
        // Songwriter and composer both say who wrote it; the disc's own stand for every track.
        std::string composer = track.text.composer;
        for (const std::string* other :
             {&track.text.songwriter, &model.text.composer, &model.text.songwriter})
            if (composer.empty())
                composer = *other;
        text.trackComposers << QString::fromStdString(composer);
    }
    return text;
}

} // namespace sonfeld::app::metadata
