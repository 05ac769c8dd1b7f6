#include "app/ui/childwindows.h"

#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/tiling.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStyle>

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
    QMdiSubWindow* previous = mdi->activeSubWindow();
    QMdiSubWindow* sub = mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A window that closes itself ("Exit", "Print") takes its frame with it.
    QObject::connect(window, &QObject::destroyed, sub, [sub] { sub->close(); });
    if (fixedSize)
        sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    sub->show();
    if (previous) {
        const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub) + 4;
        QPoint at = previous->pos() + QPoint(step, step);
        const QRect room = mdi->viewport()->rect();
        if (at.x() + sub->width() > room.right() || at.y() + sub->height() > room.bottom())
            at = QPoint(0, 0);
        sub->move(at);
    }
    mdi->setActiveSubWindow(sub);
}

QList<QAction*> windowCommands() {
    QMdiArea* mdi = currentArea();
    if (!mdi)
        return {};
    static const char* const names[] = {"mnuCascade", "mnuTile", "mnuCloseAll", "mnuNextWindow",
                                        "mnuCloseWindow"};
    if (!mdi->findChild<QAction*>(QLatin1String(names[0]), Qt::FindDirectChildrenOnly)) {
        auto command = [mdi](const char* name, const QString& caption, QList<QKeySequence> keys,
                             std::function<void()> slot) {
            auto* action = new QAction(caption, mdi);
            action->setObjectName(QString::fromLatin1(name));
            action->setShortcuts(keys);
            action->setShortcutContext(Qt::WindowShortcut);
            QObject::connect(action, &QAction::triggered, mdi, slot);
        };
        command(names[0], QObject::tr("&Cascade"), {}, [mdi] { mdi->cascadeSubWindows(); });
        command(names[1], QObject::tr("&Tile"), {}, [mdi] { tile(mdi); });
        command(names[2], QObject::tr("Close &All"), {}, [mdi] { mdi->closeAllSubWindows(); });
        command(names[3], QObject::tr("&Next"),
                {QKeySequence(Qt::CTRL | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)},
                [mdi] { mdi->activateNextSubWindow(); });
        // Where the platform's Close key already is Ctrl+F4, each child window's own close action answers
        // it; a second owner would make the key ambiguous and do nothing.
        const QKeySequence closeKey(Qt::CTRL | Qt::Key_F4);
        const bool platformCloses = QKeySequence::keyBindings(QKeySequence::Close).contains(closeKey);
        command(names[4], QObject::tr("C&lose"), {closeKey}, [mdi] { mdi->closeActiveSubWindow(); });
        if (platformCloses)
            mdi->findChild<QAction*>(QLatin1String(names[4]), Qt::FindDirectChildrenOnly)
                ->setShortcutContext(Qt::WidgetShortcut);
    }
    QList<QAction*> commands;
    for (const char* name : names)
        commands.append(mdi->findChild<QAction*>(QLatin1String(name), Qt::FindDirectChildrenOnly));
    return commands;
}

void fillWindowsMenu(QMenu* menu) {
    menu->clear();
    QMdiArea* mdi = currentArea();
    if (!mdi)
        return;
    const QList<QMdiSubWindow*> windows = mdi->subWindowList(QMdiArea::CreationOrder);
    menu->addActions(windowCommands());
    if (!windows.isEmpty())
        menu->addSeparator();
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
