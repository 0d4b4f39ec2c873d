#include "app/ui/main_window.h"

#include "app/ui/content_view.h"

#include "resources/resource_paths.h"

#include <QAction>
#include <QIcon>
#include <QVBoxLayout>

MainWindow::MainWindow(QAction *quitAction, QWidget *parent) : QWidget(parent), content_(new ContentView) {
    setObjectName(identifier);
    setWindowTitle(QStringLiteral("Dorvane"));
    setWindowIcon(QIcon(resources::appIconPath()));
    setAttribute(Qt::WA_DeleteOnClose);
    if (quitAction)
        addAction(quitAction);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content_);
    resize(content_->sizeHint());
}
