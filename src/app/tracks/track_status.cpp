#include "track_status.h"

#include "app/text/texts.h"

namespace sonfeld::app {

QString StatusText(TTrackStatus status)
{
    switch (status) {
    case TTrackStatus::NotConverted: return text::kNotConverted;
    case TTrackStatus::Reading: return text::kReading;
    case TTrackStatus::Converting: return text::kConverting;
    case TTrackStatus::Converted: return text::kConverted;
    case TTrackStatus::Cancelled: return text::kCancelled;
    case TTrackStatus::Failed: return text::kFailed;
    case TTrackStatus::DataTrack: return text::kDataTrack;
    case TTrackStatus::ReReading: return text::kReReading;
    case TTrackStatus::ConvertedUnproven: return text::kConvertedUnproven;
    case TTrackStatus::ConvertedSuspicious: return text::kConvertedSuspicious;
    }
    return {};
}

bool Finished(TTrackStatus status)
{
    return status == TTrackStatus::Converted || status == TTrackStatus::ConvertedUnproven ||
           status == TTrackStatus::ConvertedSuspicious;
}

} // namespace sonfeld::app
