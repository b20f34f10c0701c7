#include "option_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "message_box.h"

namespace sonfeld::app {

namespace {

QCheckBox* Box(const QString& caption, const char* name, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

TfrmOP::TfrmOP(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("frmOP"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(TShownText::tr("选项"), this);
    auto* groupLayout = new QVBoxLayout(group);
    chkEjectCD = Box(TShownText::tr("提取结束后自动弹出CD"), "chkEjectCD", group);
    chkWizard = Box(TShownText::tr("启用智能向导"), "chkWizard", group);
    groupLayout->addWidget(chkEjectCD);
    groupLayout->addWidget(chkWizard);
    auto* cpuRow = new QHBoxLayout;
    cpuRow->addWidget(new QLabel(TShownText::tr("CPU使用率"), group));
    chkAutoCPU = Box(TShownText::tr("自动"), "chkAutoCPU", group);
    cpuRow->addWidget(chkAutoCPU);
    tbCPUage = new QSlider(Qt::Horizontal, group);
    tbCPUage->setObjectName(QStringLiteral("tbCPUage"));
    tbCPUage->setRange(1, 3);
    tbCPUage->setValue(1);
    tbCPUage->setTickPosition(QSlider::TicksBelow);
    tbCPUage->setTickInterval(1);
    tbCPUage->setPageStep(1);
    cpuRow->addWidget(tbCPUage, 1);
    groupLayout->addLayout(cpuRow);
    chkOverRide = Box(TShownText::tr("不覆盖同名文件"), "chkOverRide", group);
    groupLayout->addWidget(chkOverRide);
    chkSaveTitle = Box(QStringLiteral("Save list name"), "chkSaveTitle", group);
    chkSaveTitle->setEnabled(false);
    chkSaveTitle->setVisible(false);
    groupLayout->addWidget(chkSaveTitle);
    layout->addWidget(group);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnSave = new QPushButton(TShownText::tr("保存"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(TShownText::tr("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(chkAutoCPU, &QAbstractButton::clicked, this,
            [this] { Guarded(this, [this] { chkAutoCPUClick(); }); });
    connect(btnSave, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { btnSaveClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    FormCreate();
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

void TfrmOP::FormCreate()
{
    setWindowTitle(TShownText::tr("选项"));
    // A store error abandons the loading where it stands; start-up goes on.
    Guarded(parentWidget(), [this] {
        chkEjectCD->setChecked(Read(key::kEjectCD));
        chkSaveTitle->setChecked(Read(key::kSaveTitle));
        chkAutoCPU->setChecked(Read(key::kAutoCpu));
        chkWizard->setChecked(Read(key::kWizard));
        chkOverRide->setChecked(Read(key::kNoOverwrite));
        if (chkAutoCPU->isChecked()) {
            tbCPUage->setEnabled(false);
        } else {
            tbCPUage->setValue(Read(key::kCpuLevel));
        }
    });
}

void TfrmOP::chkAutoCPUClick()
{
    tbCPUage->setEnabled(!chkAutoCPU->isChecked());
}

void TfrmOP::btnSaveClick()
{
    Write(key::kEjectCD, chkEjectCD->isChecked());
    Write(key::kSaveTitle, chkSaveTitle->isChecked());
    Write(key::kAutoCpu, chkAutoCPU->isChecked());
    Write(key::kWizard, chkWizard->isChecked());
    Write(key::kNoOverwrite, chkOverRide->isChecked());
    // Written also while the bar is disabled.
    Write(key::kCpuLevel, tbCPUage->value());
    accept();
}

void TfrmOP::btnCancelClick()
{
    reject();
}

} // namespace sonfeld::app
