#include "rip_queue_host.h"

#include <QStringList>

#include "app/text/shown_text.h"
#include "app/text/texts.h"

namespace sonfeld::app {

QString TRipSummary::Text(const QString& retryHint) const
{
    QStringList lines;
    lines << Shown(text::kSummaryRipped).arg(Ripped).arg(Tracks);
    if (Ripped > 0)
        lines << Shown(text::kSummaryVerdicts)
                     .arg(Accurate)
                     .arg(Mismatched)
                     .arg(Ripped - Accurate - Mismatched);
    if (!Failed.empty()) {
        lines << Shown(text::kSummaryFailed).arg(Failed.size());
        for (const TFailed& failed : Failed)
            lines << QStringLiteral("  %1: %2").arg(failed.Label, ShownMessage(failed.Reason));
        lines << retryHint;
    }
    if (Mismatched > 0)
        lines << Shown(text::kSummaryMismatch);
    lines << Shown(text::kSummaryFolder).arg(Folder);
    if (!LogFile.isEmpty())
        lines << Shown(text::kSummaryLog).arg(LogFile);
    return lines.join(QLatin1Char('\n'));
}

} // namespace sonfeld::app
