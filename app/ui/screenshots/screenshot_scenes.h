#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

// One picture to take: a file name and a maker for the widget to render.
// `prepare` runs once the widget is shown and laid out (to hover or press a
// button, for example).
struct Scene {
    QString fileName;
    std::function<std::unique_ptr<QWidget>()> make;
    std::function<void(QWidget &)> prepare;
};

inline constexpr int pageWidth = 560;
inline constexpr int pageHeight = 660;

QList<Scene> pageScenes();
QList<Scene> controlScenes();
