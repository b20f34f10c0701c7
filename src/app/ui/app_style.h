#pragma once

class QApplication;

namespace sonfeld::app {

// The program's look: a clean blue theme on the Fusion style, standing in for
// the "Office 2007 Blue" skin. Call once after the application object exists.
void ApplyBlueTheme(QApplication& application);

// Loads Qt's own Chinese texts, so standard buttons and dialogs speak the
// window's language. False when they are not installed.
bool LoadQtTranslations(QApplication& application);

} // namespace sonfeld::app

namespace sonfeld::app {

// Registers the program's pictures (":/icons/..."); they live in a static
// library, whose resources are not registered by themselves. Safe to repeat.
void LoadResources();

} // namespace sonfeld::app
