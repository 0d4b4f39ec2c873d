#pragma once

#include <QWidget>

class ContentView;
class QAction;

// The app's one main window, "Dorvane", holding a fresh ContentView. It is
// deleted when closed; the app makes a new one to show it again.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // `quitAction` (may be null) is added so its shortcut works in the window.
    explicit MainWindow(QAction *quitAction = nullptr, QWidget *parent = nullptr);

    ContentView *content() const { return content_; }

    static inline const QString identifier = QStringLiteral("main");

private:
    ContentView *content_;
};
