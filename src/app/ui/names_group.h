#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace sonfeld::app {

// The settings page's group "名称与标签": "自动查询", "写入完整标签", "嵌入封面",
// "ReplayGain", "ID3 版本" and the file-name template with an example of the
// name it makes, red while the template is wrong. It holds the defaults until
// Load reads the store. UI thread only.
class TNamesGroup final : public QGroupBox {
    Q_OBJECT
public:
    explicit TNamesGroup(QWidget* parent = nullptr);

    void Load();
    // A wrong template would fail every row of the next rip: the stored one
    // stays and the user is told; the other values are written.
    void Save();

    QCheckBox* chkAutoLookup = nullptr;
    QCheckBox* chkFullTags = nullptr;
    QCheckBox* chkEmbedCover = nullptr;
    QCheckBox* chkReplayGain = nullptr;   // "ReplayGain": gains measured and tagged
    QComboBox* comboId3Version = nullptr; // "ID3 版本": "2.4" or "2.3"
    QLineEdit* edtFileNameTemplate = nullptr;
    QLabel* lblTemplateExample = nullptr;

private:
    void UpdateTemplateExample();
};

} // namespace sonfeld::app
