// The window's handlers of its settings page "音乐设定"; the page itself is
// TSettingsPage.

#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>

#include "main_form.h"
#include "settings_page.h"

namespace sonfeld::app {

void TMainForm::MainTabControlActiveTabChange()
{
    if (MainTabControl->currentIndex() != 1)
        return;
    mTabConvert->Load();
}

void TMainForm::btnSaveClick()
{
    mTabConvert->Save();
}

void TMainForm::chkAddAlbumClick()
{
    mTabConvert->edtAlbum->setEnabled(mTabConvert->chkAddAlbum->isChecked());
}

} // namespace sonfeld::app
