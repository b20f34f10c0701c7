#pragma once

class QApplication;

namespace sonfeld::app {

// The program's look: a clean blue theme on the Fusion style, standing in for
// the "Office 2007 Blue" skin, and value boxes that keep still under the
// wheel (GuardValueBoxesFromWheel). Call once after the application object
// exists.
void ApplyBlueTheme(QApplication& application);

// Spin boxes, combo boxes and sliders in every window take focus by click or
// Tab only, and turn with the mouse wheel only while they have it: a wheel
// over one that has not goes to the page around it, which scrolls. Safe to
// repeat.
void GuardValueBoxesFromWheel(QApplication& application);

// Loads Qt's own Chinese texts, so standard buttons and dialogs speak the
// window's language. False when they are not installed.
bool LoadQtTranslations(QApplication& application);

} // namespace sonfeld::app

namespace sonfeld::app {

// Registers the program's pictures (":/icons/..."); they live in a static
// library, whose resources are not registered by themselves. Safe to repeat.
void LoadResources();

} // namespace sonfeld::app
