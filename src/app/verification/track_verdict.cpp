#include "track_verdict.h"

#include <algorithm>

namespace sonfeld::app {

TDatabaseVerdict FromAccurateRip(const verify::AccurateRipVerdict& verdict)
{
    TDatabaseVerdict result;
    switch (verdict.status) {
    case verify::AccurateRipStatus::Match:
        result.Status = TDatabaseStatus::Accurate;
        result.Confidence = verdict.confidence;
        result.Version = verdict.version;
        break;
    case verify::AccurateRipStatus::Mismatch: result.Status = TDatabaseStatus::Mismatch; break;
    case verify::AccurateRipStatus::NotInDatabase:
        result.Status = TDatabaseStatus::NotInDatabase;
        break;
    case verify::AccurateRipStatus::LookupFailed:
        result.Status = TDatabaseStatus::NoConnection;
        break;
    }
    return result;
}

TReadProof ProveRead(const TTrackVerdict& verdict, bool complete, quint32 crc,
                     const std::vector<quint32>& otherReads, bool readerProven,
                     bool readerSuspicious, const std::vector<qint64>& sectors)
{
    TReadProof proof;
    const bool agreed = std::find(otherReads.begin(), otherReads.end(), crc) != otherReads.end();
    if (verdict.AccurateRip.Accurate() || verdict.Ctdb.Accurate())
        proof.Status = TReadProofStatus::ProvenByDatabase;
    else if (!complete)
        proof.Status = TReadProofStatus::Unproven;
    // Another read with the same CRC, or, with no other read, the reader's
    // own passes that agreed throughout.
    else if (agreed || (otherReads.empty() && !readerSuspicious && readerProven))
        proof.Status = TReadProofStatus::ProvenByAgreeingReads;
    else if (!otherReads.empty() || readerSuspicious)
        proof.Status = TReadProofStatus::Suspicious;
    if (proof.Status == TReadProofStatus::Suspicious)
        proof.Sectors = sectors;
    return proof;
}

TMessage AccurateRipText(const TDatabaseVerdict& verdict)
{
    switch (verdict.Status) {
    case TDatabaseStatus::Accurate:
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "精确 (可信度 %1)")).Arg(verdict.Confidence);
    case TDatabaseStatus::Mismatch: return TMessage(QT_TRANSLATE_NOOP("sonfeld", "不匹配"));
    case TDatabaseStatus::NotInDatabase:
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "数据库中无此光盘"));
    case TDatabaseStatus::NoConnection: return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法连接"));
    case TDatabaseStatus::NotChecked: break;
    }
    return {};
}

TMessage CtdbText(const TDatabaseVerdict& verdict)
{
    switch (verdict.Status) {
    case TDatabaseStatus::Accurate:
        if (verdict.Offset != 0)
            return TMessage(QT_TRANSLATE_NOOP("sonfeld", "CTDB 精确 (可信度 %1, 偏移 %2)"))
                .Arg(verdict.Confidence)
                .Arg((verdict.Offset > 0 ? QStringLiteral("+") : QString()) +
                     QString::number(verdict.Offset));
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "CTDB 精确 (可信度 %1)"))
            .Arg(verdict.Confidence);
    case TDatabaseStatus::Mismatch: return TMessage(QT_TRANSLATE_NOOP("sonfeld", "CTDB 不匹配"));
    case TDatabaseStatus::NotInDatabase:
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "CTDB 无此光盘"));
    case TDatabaseStatus::NoConnection: return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法连接"));
    case TDatabaseStatus::NotChecked: break;
    }
    return {};
}

TMessage VerdictCellText(const TTrackVerdict& verdict)
{
    std::vector<TMessage> parts;
    if (TMessage text = AccurateRipText(verdict.AccurateRip); !text.IsEmpty())
        parts.push_back(std::move(text));
    if (verdict.Ctdb.Status != TDatabaseStatus::NoConnection)
        if (TMessage text = CtdbText(verdict.Ctdb); !text.IsEmpty())
            parts.push_back(std::move(text));
    TMessage cell = TMessage::Joined(std::move(parts), QStringLiteral(" · "));
    if (verdict.CopyMismatch)
        cell = TMessage(QT_TRANSLATE_NOOP("sonfeld", "%1；测试与复制 CRC 不一致")).Arg(cell);
    if (verdict.Proof.Status == TReadProofStatus::Suspicious)
        cell = TMessage(QT_TRANSLATE_NOOP("sonfeld", "%1；可疑")).Arg(cell);
    return cell;
}

QString ReadProofText(const TReadProof& proof)
{
    switch (proof.Status) {
    case TReadProofStatus::ProvenByAgreeingReads: return QStringLiteral("两次读取一致");
    case TReadProofStatus::ProvenByDatabase: return QStringLiteral("数据库确认");
    case TReadProofStatus::Suspicious: return QStringLiteral("可疑");
    case TReadProofStatus::Unproven: break;
    }
    return QStringLiteral("未经证实");
}

} // namespace sonfeld::app
