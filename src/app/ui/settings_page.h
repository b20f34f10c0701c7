#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace sonfeld::app {

class TNamesGroup;
class TRipComponents;

// The settings page "音乐设定" (objectName "mTabConvert"), top to bottom: the
// groups "音质", "文件信息", "校验记录", "名称与标签" (TNamesGroup), "读取",
// "压缩与顺序", "界面语言" and the button "保存设定". It owns its controls and
// moves their values between them and the settings store; the window decides
// when (its tab shown, "保存设定" pressed) and reads edtAlbum for the rip.
// UI thread only.
class TSettingsPage final : public QWidget {
    Q_OBJECT
public:
    // components: the drive whose read offset the page shows; outlives the page.
    explicit TSettingsPage(TRipComponents& components, QWidget* parent = nullptr);

    // Every control from the store; a stored text that is no item leaves the
    // item as it was.
    void Load();
    // Every control into the store; a wrong file-name template is not stored
    // and the user is told.
    void Save();

    // "音质"
    QComboBox* comboRate = nullptr;
    QComboBox* comboMinRate = nullptr;
    QComboBox* comboMaxRate = nullptr;
    QComboBox* comboWaveType = nullptr;
    QComboBox* comboMp3Quality = nullptr; // "质量": a VBR preset, or none for "MP3 BitRate"
    QComboBox* comboOpusRate = nullptr;
    // "文件信息"
    QCheckBox* chkAddTitle = nullptr;
    QCheckBox* chkAddTrack = nullptr;
    QCheckBox* chkAddAlbum = nullptr;
    QLineEdit* edtAlbum = nullptr;
    // "校验记录"
    QCheckBox* chkRipLog = nullptr;
    QCheckBox* chkCueSheet = nullptr;
    QCheckBox* chkHiddenTrack = nullptr; // tick the hidden track 0 when a disc lists one
    // "名称与标签"
    TNamesGroup* NamesGroup = nullptr;
    // "读取"
    QComboBox* comboReadingMode = nullptr; // "安全模式" / "快速并校验"
    QCheckBox* chkTestAndCopy = nullptr;
    QCheckBox* chkDeEmphasis = nullptr; // de-emphasise the files of pre-emphasised tracks
    QSpinBox* spinReadOffset = nullptr; // the current drive's, in samples
    // "压缩与顺序"
    QComboBox* comboFlacLevel = nullptr;
    QComboBox* comboApeLevel = nullptr;
    QCheckBox* chkSequentialMode = nullptr; // "顺序模式": no reading ahead
    // "界面语言"
    QComboBox* comboInterfaceLanguage = nullptr; // "中文" / "English"
    QPushButton* btnSave = nullptr;

private:
    // The "读取" group; its values come and go with the page's.
    QWidget* CreateReadingBox(QWidget* parent);
    QWidget* CreateEncodingBox(QWidget* parent);
    void LoadEncodingSettings();
    void SaveEncodingSettings();
    void LoadReadingSettings();
    void SaveReadingSettings();
    // "界面语言", taking effect at the next start.
    QWidget* CreateLanguageBox(QWidget* parent);
    void LoadLanguageSetting();
    void SaveLanguageSetting();

    TRipComponents* components_;
};

} // namespace sonfeld::app
