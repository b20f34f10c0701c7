#include "reading_plan.h"

namespace sonfeld::app {

void TReadingPlan::StartQueue(const TReadingOptions& options)
{
    options_ = options;
    allSecure_ = false;
    tracks_.clear();
}

QString TReadingPlan::ModeText() const
{
    QString text = ReadingModeText(options_.Mode);
    if (options_.Mode == TReadingMode::FastVerify && allSecure_)
        text += QStringLiteral(" (AccurateRip 无法校验快速读取的结果，其余音轨改用安全模式)");
    if (options_.TestAndCopy)
        text += QStringLiteral("，测试并复制");
    return text;
}

void TReadingPlan::LookupAnswered(bool discKnown)
{
    if (!discKnown)
        allSecure_ = true;
}

bool TReadingPlan::Fast(const TTrack& track) const
{
    return options_.Mode == TReadingMode::FastVerify && !allSecure_ && !track.Secure;
}

TReadingPlan::TPass TReadingPlan::NextPass(int track)
{
    TTrack& state = tracks_[track];
    state.FastPass = Fast(state);
    // Secure after a fast read: old drives keep their own mode throughout.
    const TCDReadMode mode = state.FastPass                            ? rmFast
                             : options_.Mode == TReadingMode::OldDrive ? rmOldDrive
                                                                       : rmSecure;
    return TPass{mode, options_.TestAndCopy && !state.TestDone};
}

TReadingPlan::TAfterPass TReadingPlan::PassDone(int track, quint32 crc)
{
    TTrack& state = tracks_[track];
    if (options_.TestAndCopy && !state.TestDone) {
        state.TestDone = true;
        state.TestCrc = crc;
        return TAfterPass::NextPass;
    }
    state.CopyCrc = crc;
    // A fast read waits for its verdict even when the plan turned secure
    // while it ran: nothing proves it otherwise.
    if (state.FastPass || Fast(state))
        return TAfterPass::AwaitVerdict;
    return TAfterPass::Keep;
}

bool TReadingPlan::KeepFastRead(int track, verify::AccurateRipStatus status)
{
    TTrack& state = tracks_[track];
    switch (status) {
    case verify::AccurateRipStatus::Match: return true;
    case verify::AccurateRipStatus::Mismatch:
        state.Notes << QStringLiteral("快速读取与 AccurateRip 不匹配，已以安全模式重新读取");
        break;
    case verify::AccurateRipStatus::NotInDatabase:
    case verify::AccurateRipStatus::LookupFailed:
        // Nothing can tell a good fast read from a bad one.
        allSecure_ = true;
        state.Notes << QStringLiteral(
                           "AccurateRip 无法校验快速读取的结果 (%1)，已以安全模式重新读取")
                           .arg(status == verify::AccurateRipStatus::NotInDatabase
                                    ? QStringLiteral("数据库中无此光盘")
                                    : QStringLiteral("无法连接"));
        break;
    }
    return ReadAgainSecurely(state);
}

bool TReadingPlan::KeepFastRead(int track, const TTrackVerdict& verdict)
{
    if (verdict.AccurateRip.Accurate() || verdict.Ctdb.Accurate())
        return true;
    // The hidden track 0 is in no database: a secure read of it alone, which
    // says nothing about the rest of the disc, lets two reads prove it.
    if (track == 0) {
        TTrack& state = tracks_[track];
        state.Notes << QStringLiteral("隐藏音轨不在数据库中，已以安全模式重新读取");
        return ReadAgainSecurely(state);
    }
    const auto knows = [](const TDatabaseVerdict& v) {
        return v.Status == TDatabaseStatus::Accurate || v.Status == TDatabaseStatus::Mismatch;
    };
    if (knows(verdict.AccurateRip) || !knows(verdict.Ctdb)) {
        // AccurateRip's words, as before the CTDB was asked too.
        verify::AccurateRipStatus status = verify::AccurateRipStatus::LookupFailed;
        if (verdict.AccurateRip.Status == TDatabaseStatus::Mismatch)
            status = verify::AccurateRipStatus::Mismatch;
        else if (verdict.AccurateRip.Status == TDatabaseStatus::NotInDatabase)
            status = verify::AccurateRipStatus::NotInDatabase;
        return KeepFastRead(track, status);
    }
    // Only the CTDB knows the disc, and it holds other sums.
    TTrack& state = tracks_[track];
    state.Notes << QStringLiteral("快速读取与 CTDB 不匹配，已以安全模式重新读取");
    return ReadAgainSecurely(state);
}

bool TReadingPlan::ReadAgainSecurely(TTrack& state)
{
    state.Secure = true;
    state.ReRead = true;
    state.TestDone = false;
    state.FastCrc = state.CopyCrc;
    state.TestCrc.reset();
    state.CopyCrc.reset();
    return false;
}

TEarlierReads TReadingPlan::EarlierReads(int track) const
{
    const auto found = tracks_.find(track);
    if (found == tracks_.end())
        return {};
    return TEarlierReads{found->second.FastCrc, found->second.TestCrc};
}

bool TReadingPlan::ReRead(int track) const
{
    const auto found = tracks_.find(track);
    return found != tracks_.end() && found->second.ReRead;
}

std::optional<quint32> TReadingPlan::TestCrc(int track) const
{
    const auto found = tracks_.find(track);
    return found != tracks_.end() ? found->second.TestCrc : std::nullopt;
}

bool TReadingPlan::CopyMismatch(int track) const
{
    const auto found = tracks_.find(track);
    return found != tracks_.end() && found->second.TestCrc && found->second.CopyCrc &&
           *found->second.TestCrc != *found->second.CopyCrc;
}

QStringList TReadingPlan::Notes(int track) const
{
    const auto found = tracks_.find(track);
    if (found == tracks_.end())
        return {};
    QStringList notes = found->second.Notes;
    if (CopyMismatch(track))
        notes << QStringLiteral("测试与复制的 CRC 不一致：读取不可靠");
    return notes;
}

} // namespace sonfeld::app
