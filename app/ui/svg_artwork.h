#pragma once

#include <QString>
#include <QWidget>

class QSvgRenderer;

// Our own SVG artwork (the app icon) drawn at a fixed size in points,
// rasterised at the device's pixel ratio.
class SvgArtwork : public QWidget {
    Q_OBJECT
public:
    SvgArtwork(const QString &resourcePath, qreal size, QWidget *parent = nullptr);
    ~SvgArtwork() override;

    QString resourcePath() const { return resourcePath_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString resourcePath_;
    qreal size_;
    QSvgRenderer *renderer_;
};
