#include "disc_reader.h"

// drives.h brings cdio.h first: the other headers rely on its types.
#include <cdio/cdtext.h>
#include <cdio/device.h>
#include <cdio/disc.h>
#include <cdio/track.h>

#include "audio/cd/disc/image_reader.h"
#include "cdrip_api.h"

namespace sonfeld::cdrip {

namespace {

std::string TakeCdioString(char* text)
{
    if (text == nullptr)
        return {};
    std::string result(text);
    cdio_free(text);
    return result;
}

disc::CdText ReadCdText(const cdtext_t* text, track_t track)
{
    auto field = [&](cdtext_field_t which) {
        const char* value = cdtext_get_const(text, which, track);
        return value != nullptr ? std::string(value) : std::string();
    };
    disc::CdText result;
    if (text == nullptr)
        return result;
    result.title = field(CDTEXT_FIELD_TITLE);
    result.performer = field(CDTEXT_FIELD_PERFORMER);
    result.songwriter = field(CDTEXT_FIELD_SONGWRITER);
    result.composer = field(CDTEXT_FIELD_COMPOSER);
    result.arranger = field(CDTEXT_FIELD_ARRANGER);
    result.message = field(CDTEXT_FIELD_MESSAGE);
    return result;
}

std::optional<disc::DiscModel> ReadWithCdio(const Drive& drive, std::string& error)
{
    const auto toc = ReadTableOfContents(drive);
    CdioHandle handle = OpenDrive(drive);
    if (!toc || !handle) {
        error = "No disc, or its table of contents cannot be read.";
        return std::nullopt;
    }
    CdIo_t* cdio = handle.Get();
    disc::DiscModel model;
    for (std::size_t i = 0; i + 1 < toc->size(); ++i) {
        const TocEntry& entry = (*toc)[i];
        disc::Track track;
        track.number = entry.trackNumber;
        track.data = (entry.control & CR_CONTROL_DATA) != 0;
        track.preEmphasis = (entry.control & CR_CONTROL_PREEMPHASIS) != 0;
        track.copyPermitted = (entry.control & CR_CONTROL_COPY_PERMITTED) != 0;
        track.fourChannel = (entry.control & CR_CONTROL_FOUR_CHANNEL) != 0;
        track.startLsn = entry.startSector;
        track.pregapLsn = entry.startSector;
        const lsn_t pregap = cdio_get_track_pregap_lsn(cdio, entry.trackNumber);
        const std::int32_t previousStart = i > 0 ? (*toc)[i - 1].startSector : 0;
        if (pregap != CDIO_INVALID_LSN && pregap >= previousStart && pregap <= entry.startSector)
            track.pregapLsn = pregap;
        if (!track.data)
            track.isrc =
                disc::CleanIsrc(TakeCdioString(cdio_get_track_isrc(cdio, entry.trackNumber)));
        model.tracks.push_back(track);
    }
    model.leadOutLsn = toc->back().startSector;
    model.mcn = disc::CleanMcn(TakeCdioString(cdio_get_mcn(cdio)));
    const cdtext_t* text = cdio_get_cdtext(cdio);
    model.text = ReadCdText(text, 0);
    for (disc::Track& track : model.tracks)
        track.text = ReadCdText(text, static_cast<track_t>(track.number));

    std::optional<std::int32_t> lastSession;
    lsn_t sessionStart = CDIO_INVALID_LSN;
    if (!drive.image && cdio_get_last_session(cdio, &sessionStart) == DRIVER_OP_SUCCESS &&
        sessionStart != CDIO_INVALID_LSN)
        lastSession = sessionStart;
    try {
        disc::CompleteLayout(model, lastSession);
    } catch (const disc::DiscError& failure) {
        error = failure.what();
        return std::nullopt;
    }
    return model;
}

} // namespace

std::optional<disc::DiscModel> ReadDiscModel(const Drive& drive, std::string& error)
{
    if (drive.reader)
        return drive.reader->Model();
    return ReadWithCdio(drive, error);
}

} // namespace sonfeld::cdrip
