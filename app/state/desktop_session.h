#pragma once

#include <QString>

// Whether a window can be shown: an X11 or Wayland display is named, or a Qt
// platform was chosen by hand (QT_QPA_PLATFORM, e.g. "offscreen").
bool hasDesktopSession();

// What the program says instead of starting without one.
QString noDesktopSessionText();
