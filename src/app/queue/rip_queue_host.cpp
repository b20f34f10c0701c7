#include "rip_queue_host.h"

#include <QStringList>

#include "app/text/shown_text.h"
#include "app/text/texts.h"

namespace sonfeld::app {

namespace {
const QString kSummaryProof = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "已证实 %1 首（数据库或两次一致的读取），%2 首未经证实，%3 首可疑。"));
const QString kSummaryCtdbMismatch = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "CTDB: 这次抓取与数据库中的光盘不一致；差异不大时可以用“修复”改正。"));
} // namespace

QString TRipSummary::Text(const QString& retryHint) const
{
    QStringList lines;
    lines << Shown(text::kSummaryRipped).arg(Ripped).arg(Tracks);
    if (Ripped > 0)
        lines << Shown(text::kSummaryVerdicts)
                     .arg(Accurate)
                     .arg(Mismatched)
                     .arg(Ripped - Accurate - Mismatched)
              << Shown(kSummaryProof).arg(Proven).arg(Unproven).arg(Suspicious);
    if (!Failed.empty()) {
        lines << Shown(text::kSummaryFailed).arg(Failed.size());
        for (const TFailed& failed : Failed)
            lines << QStringLiteral("  %1: %2").arg(failed.Label, failed.Reason.Shown());
        lines << retryHint;
    }
    if (Mismatched > 0)
        lines << Shown(text::kSummaryMismatch);
    if (CtdbMismatch)
        lines << Shown(kSummaryCtdbMismatch);
    lines << Shown(text::kSummaryFolder).arg(Folder);
    if (!LogFile.isEmpty())
        lines << Shown(text::kSummaryLog).arg(LogFile);
    return lines.join(QLatin1Char('\n'));
}

} // namespace sonfeld::app
