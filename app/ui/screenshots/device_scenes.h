#pragma once

#include "app/ui/screenshots/screenshot_scenes.h"

// The device screen with phones in each state: a cable phone, a wireless
// phone, a mounted phone, one waiting for "Allow", several at once, and the
// empty list. The phones come from a stand-in adb tool that answers from a
// fixed listing; mounting uses the real VaneFileProvider over FUSE in
// private folders (where FUSE is unusable those scenes are left out).
QList<Scene> deviceScenes();

// Unmounts what the scenes mounted and removes their folders.
void finishDeviceScenes();
