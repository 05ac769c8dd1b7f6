#include "app/ui/statusnotice.h"

#include "app/appfacts.h"
#include "app/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>
#include <QToolButton>

StatusNotices& StatusNotices::instance() {
    // Owned by the application object, so it goes before Qt does.
    static QPointer<StatusNotices> notices;
    if (!notices)
        notices = new StatusNotices(QCoreApplication::instance());
    return *notices;
}

void StatusNotices::post(const QString& text, const QString& folder) {
    emit instance().posted(text, folder);
}

void attachStatusNotices(QMainWindow* window) {
    QStatusBar* bar = window->statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    auto* label = new QLabel(bar);
    label->setObjectName(QStringLiteral("lblStatusNotice"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(label, 1);
    auto* open = new QToolButton(bar);
    open->setObjectName(QStringLiteral("cmdOpenFolder"));
    open->setText(QObject::tr("Open Folder"));
    open->setAutoRaise(true);
    open->hide();
    bar->addPermanentWidget(open);
    auto folder = std::make_shared<QString>();
    QObject::connect(open, &QToolButton::clicked, window, [window, folder] {
        if (!Platform::instance().openWithDesktop(*folder))
            Platform::instance().critical(
                window,
                QObject::tr("The folder %1 could not be opened: no file manager is set up on this computer.")
                    .arg(QDir::toNativeSeparators(*folder)),
                AppFacts::applicationTitle());
    });
    QObject::connect(&StatusNotices::instance(), &StatusNotices::posted, label,
                     [label, open, folder](const QString& text, const QString& where) {
                         label->setText(text);
                         *folder = where;
                         open->setVisible(!where.isEmpty());
                         open->setToolTip(QDir::toNativeSeparators(where));
                     });
}
