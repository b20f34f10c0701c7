#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;
class QSlider;

namespace sonfeld::app {

// The options dialog "选项": the behaviour options of the rip queue. Created
// once at start-up, when it reads the store (errors go to the default error
// display and the creation goes on); afterwards only shown modally and
// hidden, so a cancelled edit stays in its boxes while the store keeps the
// saved values. UI thread.
class TfrmOP final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOP(QWidget* parent = nullptr);

    void FormCreate();
    void chkAutoCPUClick();
    void btnSaveClick();
    void btnCancelClick();

    QCheckBox* chkEjectCD = nullptr;
    QCheckBox* chkWizard = nullptr;
    QCheckBox* chkAutoCPU = nullptr;
    QSlider* tbCPUage = nullptr;
    QCheckBox* chkOverRide = nullptr;
    QCheckBox* chkSaveTitle = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
};

} // namespace sonfeld::app
