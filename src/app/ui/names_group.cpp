// The settings page's group "名称与标签".

#include "names_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/files/file_name_template.h"
#include "app/settings/setting_keys.h"
#include "app/text/shown_text.h"
#include "message_box.h"

namespace sonfeld::app {

namespace {

using metadata::TNameRules;

constexpr TNameRules kNameRules = metadata::kPortableNames;

// What is wrong with the template itself; empty when it is usable. Every
// field is filled, so an error here is never one of a particular track.
TMessage TemplateError(const QString& pattern)
{
    metadata::TTemplateFields sample;
    sample.albumArtist = sample.album = sample.title = sample.artist = QStringLiteral("x");
    sample.year = QStringLiteral("2001");
    sample.discNumber = sample.discTotal = sample.trackNumber = sample.trackTotal = 1;
    return metadata::ApplyFileNameTemplate(pattern, sample, kNameRules).error;
}

} // namespace

TNamesGroup::TNamesGroup(QWidget* parent) : QGroupBox(TShownText::tr("名称与标签"), parent)
{
    auto* layout = new QVBoxLayout(this);
    // One row of boxes keeps the page within the window's height.
    auto* boxes = new QHBoxLayout;
    auto addBox = [&](const QString& caption, const char* name) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(QLatin1String(name));
        boxes->addWidget(box);
        return box;
    };
    chkAutoLookup = addBox(TShownText::tr("自动查询"), "chkAutoLookup");
    chkFullTags = addBox(TShownText::tr("写入完整标签"), "chkFullTags");
    chkEmbedCover = addBox(TShownText::tr("嵌入封面"), "chkEmbedCover");
    chkReplayGain = addBox(QStringLiteral("ReplayGain"), "chkReplayGain");
    boxes->addWidget(new QLabel(TShownText::tr("ID3 版本"), this));
    comboId3Version = new QComboBox(this);
    comboId3Version->setObjectName(QStringLiteral("comboId3Version"));
    comboId3Version->setAccessibleName(TShownText::tr("ID3 版本"));
    for (const char* version : key::kId3Version.Choices)
        comboId3Version->addItem(QLatin1String(version), QLatin1String(version));
    boxes->addWidget(comboId3Version);
    boxes->addStretch();
    layout->addLayout(boxes);
    auto* templateRow = new QHBoxLayout;
    templateRow->addWidget(new QLabel(TShownText::tr("文件名模板:"), this));
    // Ready templates to choose from; the box stays free to type in.
    auto* templates = new QComboBox(this);
    templates->setObjectName(QStringLiteral("cbFileNameTemplate"));
    templates->setEditable(true);
    templates->setInsertPolicy(QComboBox::NoInsert);
    templates->addItems(metadata::kFileNameTemplateChoices);
    edtFileNameTemplate = new QLineEdit(templates);
    edtFileNameTemplate->setObjectName(QStringLiteral("edtFileNameTemplate"));
    templates->setLineEdit(edtFileNameTemplate);
    templates->setCompleter(nullptr); // typing is not completed behind the user's back
    templates->setToolTip(
        TShownText::tr("{albumartist} {album} {year} {disc} {disctotal} {track:02} "
                       "{tracktotal} {title} {artist}；\"/\" 分出子文件夹"));
    templateRow->addWidget(templates, 1);
    layout->addLayout(templateRow);
    lblTemplateExample = new QLabel(this);
    lblTemplateExample->setObjectName(QStringLiteral("lblTemplateExample"));
    lblTemplateExample->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblTemplateExample);

    // The defaults until the store is read when the window opens.
    chkAutoLookup->setChecked(key::kAutoLookup.Default);
    chkFullTags->setChecked(key::kFullTags.Default);
    chkEmbedCover->setChecked(key::kEmbedCover.Default);
    chkReplayGain->setChecked(key::kReplayGain.Default);
    comboId3Version->setCurrentIndex(
        comboId3Version->findData(QLatin1String(key::kId3Version.Default)));
    edtFileNameTemplate->setText(QString::fromUtf8(key::kFileNameTemplate.Default));

    connect(edtFileNameTemplate, &QLineEdit::textChanged, this,
            [this] { UpdateTemplateExample(); });
    UpdateTemplateExample();
}

void TNamesGroup::Load()
{
    chkAutoLookup->setChecked(Read(key::kAutoLookup));
    chkFullTags->setChecked(Read(key::kFullTags));
    chkEmbedCover->setChecked(Read(key::kEmbedCover));
    chkReplayGain->setChecked(Read(key::kReplayGain));
    comboId3Version->setCurrentIndex(comboId3Version->findData(Read(key::kId3Version)));
    edtFileNameTemplate->setText(Read(key::kFileNameTemplate));
}

void TNamesGroup::Save()
{
    Write(key::kAutoLookup, chkAutoLookup->isChecked());
    Write(key::kFullTags, chkFullTags->isChecked());
    Write(key::kEmbedCover, chkEmbedCover->isChecked());
    Write(key::kReplayGain, chkReplayGain->isChecked());
    Write(key::kId3Version, comboId3Version->currentData().toString());
    const QString pattern = edtFileNameTemplate->text();
    if (const TMessage error = TemplateError(pattern); !error.IsEmpty()) {
        ShowErrorBox(window(), TShownText::tr("文件名模板有误，未保存: %1").arg(error.Shown()));
        return;
    }
    Write(key::kFileNameTemplate, pattern);
}

void TNamesGroup::UpdateTemplateExample()
{
    const metadata::TTemplateExample example =
        metadata::FileNameTemplateExample(edtFileNameTemplate->text(), kNameRules);
    lblTemplateExample->setText(example.text.Shown());
    lblTemplateExample->setStyleSheet(example.valid ? QStringLiteral("QLabel { color: #44546a; }")
                                                    : QStringLiteral("QLabel { color: #b00000; }"));
}

} // namespace sonfeld::app
