#include "app/ui/childwindows.h"

#include "app/appfacts.h"
#include "app/platform.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

#include <cstdlib>

namespace ChildWindows {

namespace {
QPointer<QMdiArea>& currentArea() {
    static QPointer<QMdiArea> area;
    return area;
}
} // namespace

std::function<void()> exitApplication = [] {
    // "Exit" ends the program at once: no window is asked and no close handling runs.
    std::fflush(nullptr);
    std::_Exit(0);
};

void setArea(QMdiArea* area) {
    currentArea() = area;
}

QMdiArea* area() {
    return currentArea();
}

void show(QWidget* window, bool fixedSize) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiArea* mdi = currentArea();
    if (!mdi) {
        window->show();
        window->activateWindow();
        return;
    }
    QMdiSubWindow* sub = mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A window that closes itself ("Exit", "Print") takes its frame with it.
    QObject::connect(window, &QObject::destroyed, sub, [sub] { sub->close(); });
    if (fixedSize)
        sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    sub->show();
    mdi->setActiveSubWindow(sub);
}

void fillWindowsMenu(QMenu* menu) {
    menu->clear();
    QMdiArea* mdi = currentArea();
    if (!mdi)
        return;
    const QList<QMdiSubWindow*> windows = mdi->subWindowList(QMdiArea::CreationOrder);
    int number = 1;
    for (QMdiSubWindow* sub : windows) {
        QString caption = sub->widget() ? sub->widget()->windowTitle() : sub->windowTitle();
        // A window without a caption (a badge) is listed by its accessible name instead of a blank line.
        if (caption.isEmpty() && sub->widget())
            caption = sub->widget()->accessibleName();
        QAction* action = menu->addAction(QStringLiteral("&%1 %2").arg(number++).arg(caption));
        action->setCheckable(true);
        action->setChecked(sub == mdi->activeSubWindow());
        QPointer<QMdiSubWindow> target(sub);
        QObject::connect(action, &QAction::triggered, mdi, [mdi, target] {
            if (target)
                mdi->setActiveSubWindow(target);
        });
    }
}

void reportError(QObject* parent, const QString& description) {
    Platform::instance().critical(parent, description, AppFacts::applicationTitle());
}

} // namespace ChildWindows
