#include "accuraterip_report.h"

namespace sonfeld::app {

verify::AccurateRipVerdict VerdictForTrack(const AccurateRipLookupResult& lookup,
                                           int tocTrackNumber, quint32 v1, quint32 v2)
{
    verify::AccurateRipVerdict verdict;
    switch (lookup.outcome) {
    case AccurateRipLookupResult::Outcome::Found:
        return verify::VerifyTrack(lookup.pressings, tocTrackNumber, v1, v2);
    case AccurateRipLookupResult::Outcome::DiscNotFound:
        verdict.status = verify::AccurateRipStatus::NotInDatabase;
        return verdict;
    case AccurateRipLookupResult::Outcome::Failed: break;
    }
    verdict.status = verify::AccurateRipStatus::LookupFailed;
    return verdict;
}

QString AccurateRipStatusText(const verify::AccurateRipVerdict& verdict)
{
    switch (verdict.status) {
    case verify::AccurateRipStatus::Match:
        return QStringLiteral("精确 (可信度 %1)").arg(verdict.confidence);
    case verify::AccurateRipStatus::Mismatch: return QStringLiteral("不匹配");
    case verify::AccurateRipStatus::NotInDatabase: return QStringLiteral("数据库中无此光盘");
    case verify::AccurateRipStatus::LookupFailed: break;
    }
    return QStringLiteral("无法连接");
}

} // namespace sonfeld::app
