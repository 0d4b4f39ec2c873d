#pragma once

#include <QPalette>

// The roles Qt's own widgets draw with (text fields, selections, tooltips,
// menus), set from the app's dark colours so the window looks the same
// whatever the desktop's theme.
QPalette darkPalette();
