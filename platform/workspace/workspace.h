#pragma once

#include <QString>

// The desktop's file manager, as the app uses it. Both calls return at once
// and do nothing where there is no desktop to show anything on.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens the folder in the file manager.
    virtual void open(const QString &path) = 0;
    // Shows the item selected in a file manager window.
    virtual void reveal(const QString &path) = 0;
};
