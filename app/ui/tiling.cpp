#include "app/ui/tiling.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <cmath>

namespace ChildWindows {

void tile(QMdiArea* area) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder))
        if (sub->isVisible() && !sub->isMinimized())
            windows.append(sub);
    if (windows.isEmpty())
        return;
    const int count = int(windows.size());
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    const int rows = (count + columns - 1) / columns;
    const QRect room = area->viewport()->rect();
    const int cellWidth = room.width() / columns;
    const int cellHeight = room.height() / rows;
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* sub = windows.at(i);
        if (sub->isMaximized())
            sub->showNormal();
        const QPoint corner(room.left() + (i % columns) * cellWidth, room.top() + (i / columns) * cellHeight);
        const QSize least = sub->minimumSizeHint().expandedTo(sub->minimumSize());
        const QWidget* inside = sub->widget();
        const bool fixed = inside && inside->minimumSize() == inside->maximumSize();
        const QSize size = fixed ? sub->size() : QSize(cellWidth, cellHeight).expandedTo(least);
        sub->setGeometry(QRect(corner, size));
    }
}

} // namespace ChildWindows
