// "修复": a finished rip repaired from the CTDB's recovery data, from the track
// grid's context menu (a rip log the user picks) or from the summary of a rip the CTDB found
// different. The repair job works off the UI thread; the window shows its
// progress and result.

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableView>

#include "app/queue/rip_audio_spool.h"
#include "app/queue/rip_queue.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "app/verification/rip_repair.h"
#include "app_icons.h"
#include "main_form.h"
#include "message_box.h"

namespace sonfeld::app {

namespace {

const QString kRepair = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "修复"));
const QString kRepairTip =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "用 CTDB 的恢复数据修复一次已完成的抓取"));
const QString kRepairChooseLog =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "选择要修复的抓取日志"));
const QString kRepairLogFilter = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "抓取日志 (*.log)"));
const QString kRepairing = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "正在修复: %1"));
const QString kRepairBusy =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "正在抓取或修复，请在结束后再修复。"));
const QString kRepaired = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "修复完成：按 CTDB 的恢复数据修正了 %1 个采样，修正后的音频与数据库的"
               "光盘 CRC 一致。重写的文件: %2\n修复记录: %3"));
const QString kRepairExact =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "CTDB 确认这次抓取精确，无需修复。"));
const QString kRepairRefused =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "无法修复，文件没有任何改动。\n%1"));
const QString kRepairFailed = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "修复失败。\n%1"));
const QString kRepairLossy = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "无法修复，文件没有任何改动。\n这是有损格式的抓取，它的文件不是光盘上的音频："
               "只有在抓取刚结束、窗口仍保留着它的音频时，才能在窗口中修复。"));

// Whether the repair asked for is of the rip whose log this is: the log
// itself, or the folder holding it.
bool SameRip(const QString& ripPath, const QString& log)
{
    if (log.isEmpty())
        return false;
    const QFileInfo asked(ripPath);
    const QFileInfo logFile(log);
    return asked.isDir() ? asked.canonicalFilePath() == logFile.canonicalPath()
                         : asked.canonicalFilePath() == logFile.canonicalFilePath();
}

} // namespace

void TMainForm::CreateRepairCommand()
{
    btnRepair = new QAction(AppIcon("settings"), Shown(kRepair), this);
    btnRepair->setObjectName(QStringLiteral("btnRepair"));
    const QKeySequence keys(Qt::CTRL | Qt::SHIFT | Qt::Key_R);
    btnRepair->setShortcut(keys);
    btnRepair->setShortcutContext(Qt::WindowShortcut);
    btnRepair->setToolTip(
        QStringLiteral("%1 (%2)").arg(Shown(kRepairTip), keys.toString(QKeySequence::NativeText)));
    // Beside the tracks it repairs, in the grid's context menu; its keys work
    // anywhere in the window.
    addAction(btnRepair);
    TracksList->setContextMenuPolicy(Qt::ActionsContextMenu);
    TracksList->addAction(btnRepair);
    connect(btnRepair, &QAction::triggered, this,
            [this] { Guarded(this, [this] { btnRepairClick(); }); });
    repair_ = new RipRepair(this);
    // A lossy rip can be repaired only from the audio the window keeps of it.
    queue_->SetKeepAudioForRepair(true);
    connect(repair_, &RipRepair::Progress, this,
            [this](const QString& text) { statusBar()->showMessage(Shown(kRepairing).arg(text)); });
    connect(repair_, &RipRepair::Finished, this, [this](const RipRepairOutcome& outcome) {
        statusBar()->clearMessage();
        UpdateRepairCommand();
        QString message;
        switch (outcome.result) {
        case RipRepairOutcome::Result::Repaired:
            message = Shown(kRepaired)
                          .arg(outcome.corrections)
                          .arg(outcome.rewrittenFiles.join(QStringLiteral(", ")),
                               QDir::toNativeSeparators(outcome.repairLogPath));
            break;
        case RipRepairOutcome::Result::AlreadyExact: message = Shown(kRepairExact); break;
        case RipRepairOutcome::Result::NotRepairable:
            message = Shown(kRepairRefused).arg(outcome.message);
            break;
        case RipRepairOutcome::Result::Failed:
            message = outcome.lossyWithoutAudio ? Shown(kRepairLossy)
                                                : Shown(kRepairFailed).arg(outcome.message);
            break;
        }
        ShowInformation(this, message, Shown(kRepair));
        emit RepairFinished(outcome.result == RipRepairOutcome::Result::Repaired, message);
    });
    // A rip and a repair never run together: both use the files.
    connect(btnRipCD, &QAction::changed, this, &TMainForm::UpdateRepairCommand);
    UpdateRepairCommand();
}

void TMainForm::UpdateRepairCommand()
{
    if (btnRepair != nullptr)
        btnRepair->setEnabled(btnRipCD->isEnabled() && !RepairRunning());
}

bool TMainForm::RepairRunning() const
{
    return repair_ != nullptr && repair_->Running();
}

QString TMainForm::RepairButtonText()
{
    return Shown(kRepair);
}

bool TMainForm::OfferRepair(const TRipSummary& summary)
{
    if (summary.LogFile.isEmpty() || !queue_)
        return false;
    return queue_->Verification().CtdbDiscVerdict().Verdict.Status == TDatabaseStatus::Mismatch;
}

void TMainForm::btnRepairClick()
{
    const QString folder = edtDes->text().isEmpty() ? QDir::homePath() : edtDes->text();
    QFileDialog dialog(this, Shown(kRepairChooseLog), folder, Shown(kRepairLogFilter));
    dialog.setObjectName(QStringLiteral("dlgRepairLog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    RepairRip(dialog.selectedFiles().constFirst());
}

void TMainForm::RepairRip(const QString& ripPath)
{
    if (ripping_ || RepairRunning()) {
        ShowInformation(this, Shown(kRepairBusy), Shown(kRepair));
        return;
    }
    // A lossy rip the window still remembers is repaired from its kept audio.
    std::shared_ptr<RepairAudioSource> kept = queue_->KeptAudio();
    if (kept && !SameRip(ripPath, kept->LogPath()))
        kept.reset();
    repair_->Start(ripPath, Read(key::kCtdbServer), 30000, std::move(kept));
    statusBar()->showMessage(Shown(kRepairing).arg(QDir::toNativeSeparators(ripPath)));
    UpdateRepairCommand();
}

} // namespace sonfeld::app
