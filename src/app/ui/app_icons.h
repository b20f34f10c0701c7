#pragma once

#include <QIcon>

// The window's pictures, by name (":/icons/<name>.svg" or ".png").
namespace sonfeld::app {

// Drawn from SVG where there is one and Qt's SVG support is installed, so it
// stays sharp when the screen is scaled; else the PNG.
QIcon AppIcon(const char* name);

} // namespace sonfeld::app
