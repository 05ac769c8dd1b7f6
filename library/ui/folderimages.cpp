#include "library/ui/folderimages.h"

#include <QPainter>
#include <QPolygon>

namespace library::ui {

namespace {

const QColor Outline(128, 96, 0);
const QColor Back(230, 184, 60);
const QColor Front(255, 216, 96);

QPixmap blank() {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    return picture;
}

} // namespace

QPixmap closedFolderPicture() {
    QPixmap picture = blank();
    QPainter painter(&picture);
    painter.setPen(Outline);
    painter.setBrush(Back);
    painter.drawPolygon(QPolygon({{1, 3}, {6, 3}, {7, 4}, {14, 4}, {14, 13}, {1, 13}}));
    painter.setBrush(Front);
    painter.drawRect(1, 6, 13, 7);
    return picture;
}

QPixmap openFolderPicture() {
    QPixmap picture = blank();
    QPainter painter(&picture);
    painter.setPen(Outline);
    painter.setBrush(Back);
    painter.drawPolygon(QPolygon({{1, 3}, {6, 3}, {7, 4}, {13, 4}, {13, 7}, {1, 13}}));
    painter.setBrush(Front);
    // The front flap tilted open.
    painter.drawPolygon(QPolygon({{4, 7}, {15, 7}, {12, 13}, {1, 13}}));
    return picture;
}

} // namespace library::ui
