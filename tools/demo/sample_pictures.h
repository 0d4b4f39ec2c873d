#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>

// Landscapes painted in code, so the demo phone's camera roll holds real
// photos-to-be without shipping any picture files.
struct HillLayer {
    QColor colour;
    double baseline;  // share of the height from the top where the hills sit
    double amplitude; // share of the height
    double waves;     // crests across the width
    double phase;
};

struct Scene {
    QColor skyTop;
    QColor skyBottom;
    QColor sunColour;
    QPointF sunCentre; // shares of the width and height
    double sunRadius;  // share of the height
    int stars = 0;
    bool water = false;
    QList<HillLayer> hills;
};

QList<Scene> demoScenes();
QImage paintScene(const Scene &scene, QSize size);
// The image encoded in the given format; empty when Qt has no encoder for it.
QByteArray encodeImage(const QImage &image, const char *format, int quality = 90);
