#include "tools/demo/sample_document.h"

#include <QBuffer>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

Document demoGuideDocument() {
    return {
        QStringLiteral("Welcome to the demo phone"),
        {
            {QStringLiteral("Welcome to the demo phone"),
             {QStringLiteral("This phone is not a real one. Dorvane started it for you so that you can try the app "
                             "without plugging anything in: it behaves as an Android phone with USB debugging on, "
                             "attached by cable."),
              QStringLiteral("Press Mount on its card. Its storage appears as a folder under ~/Phones, and your file "
                             "manager shows it as a location of its own."),
              QStringLiteral("Open this file, copy photos out of DCIM/Camera, drop files into Download, rename and "
                             "delete them: everything you do happens on the demo phone's storage, a plain folder on "
                             "this computer.")}},
            {QStringLiteral("With a real phone"),
             {QStringLiteral("On the phone, open Settings, About phone, and tap Build number seven times. Then open "
                             "Developer options and turn on USB debugging."),
              QStringLiteral("Plug the phone in and allow the connection when the phone asks. Its card shows up in "
                             "Dorvane within a few seconds; press Mount."),
              QStringLiteral("Once it is mounted over the cable, Connect via Wi-Fi lets you unplug it and keep "
                             "working while both are on the same network.")}},
        },
    };
}

namespace {

// A phone outline with a folder on its screen: the one figure of the guide.
void drawFigure(QPainter &painter, const QRectF &area) {
    const double width = area.height() * 0.5;
    const QRectF phone(area.center().x() - width / 2, area.top(), width, area.height());
    painter.setPen(QPen(QColor(0x30, 0x36, 0x45), area.height() * 0.02));
    painter.setBrush(QColor(0xee, 0xf1, 0xf6));
    painter.drawRoundedRect(phone, width * 0.14, width * 0.14);
    const QRectF folder = phone.adjusted(width * 0.22, area.height() * 0.32, -width * 0.22, -area.height() * 0.36);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x4f, 0x8c, 0xff));
    painter.drawRoundedRect(folder, width * 0.04, width * 0.04);
    painter.drawRoundedRect(QRectF(folder.left(), folder.top() - folder.height() * 0.18, folder.width() * 0.4,
                                   folder.height() * 0.3),
                            width * 0.03, width * 0.03);
}

} // namespace

QByteArray writePdf(const Document &document) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(document.title);
        writer.setCreator(QStringLiteral("Dorvane"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);

        QPainter painter(&writer);
        const QRectF page = painter.viewport();
        QFont heading(QStringLiteral("DM Sans"));
        heading.setPointSizeF(22);
        heading.setBold(true);
        QFont body(QStringLiteral("DM Sans"));
        body.setPointSizeF(11.5);

        for (qsizetype index = 0; index < document.pages.size(); ++index) {
            if (index > 0) writer.newPage();
            const DocumentPage &content = document.pages[index];
            double y = page.top();
            drawFigure(painter, QRectF(page.left(), y, page.width(), page.height() * 0.22));
            y += page.height() * 0.27;

            painter.setPen(QColor(0x15, 0x18, 0x20));
            painter.setFont(heading);
            QRectF used;
            painter.drawText(QRectF(page.left(), y, page.width(), page.height() - y), Qt::TextWordWrap,
                             content.heading, &used);
            y += used.height() * 1.6;

            painter.setFont(body);
            for (const QString &paragraph : content.paragraphs) {
                painter.drawText(QRectF(page.left(), y, page.width(), page.height() - y), Qt::TextWordWrap, paragraph,
                                 &used);
                y += used.height() + painter.fontMetrics().height() * 0.8;
            }
        }
    }
    return bytes;
}
