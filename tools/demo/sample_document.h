#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A small PDF written with Qt's own PDF writer: a title, paragraphs and a
// drawn figure on each page. Needs a QGuiApplication (fonts).
struct DocumentPage {
    QString heading;
    QStringList paragraphs;
};

struct Document {
    QString title;
    QList<DocumentPage> pages;
};

Document demoGuideDocument();
QByteArray writePdf(const Document &document);
