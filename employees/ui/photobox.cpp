// The photograph box of the employee editor.
#include "employees/ui/photobox.h"

#include "employees/photofile.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace {

// One local file, or nothing: a drop of several files or of a web address has no single photograph.
QString droppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return QString();
    return urls.front().toLocalFile();
}

} // namespace

PhotoBox::PhotoBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAcceptDrops(true);
    setToolTip(tr("The employee's photograph. Drop a picture file here to choose it."));
}

void PhotoBox::setPicture(const QImage& picture) {
    m_picture = picture;
    m_scaled = QPixmap();
    update();
}

void PhotoBox::clear() {
    setPicture(QImage());
}

QRect PhotoBox::pictureRect() const {
    return fitRect(m_picture.size(), contentsRect());
}

void PhotoBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, tr("No photograph"));
        return;
    }
    const QRect target = pictureRect();
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    if (m_scaled.size() != pixels) {
        m_scaled =
            QPixmap::fromImage(m_picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    painter.drawPixmap(target.topLeft(), m_scaled);
}

void PhotoBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PhotoBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PhotoBox::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    emit fileDropped(path);
}
