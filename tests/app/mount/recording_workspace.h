#pragma once

#include "platform/workspace/workspace.h"

#include <QStringList>

// Notes what the app asks of the file manager instead of showing anything.
class RecordingWorkspace : public Workspace {
public:
    void open(const QString &path) override { opened.append(path); }
    void reveal(const QString &path) override { revealed.append(path); }

    QStringList opened;
    QStringList revealed;
};
