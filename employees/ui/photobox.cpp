// The photograph box of the employee editor.
#include "employees/ui/photobox.h"

#include "employees/photofile.h"
#include "employees/photoframe.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <QWheelEvent>

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
    placeFrame(employees::centredFrame(picture.size()), false);
}

void PhotoBox::setFraming(bool on) {
    m_framing = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void PhotoBox::placeFrame(const QRect& frame, bool moved) {
    m_frame = m_picture.isNull() ? QRect() : employees::clampedFrame(frame, m_picture.size());
    m_frameMoved = moved;
    update();
    emit frameChanged();
}

void PhotoBox::setFrame(const QRect& frame) {
    placeFrame(frame, frame != employees::centredFrame(m_picture.size()));
}

void PhotoBox::resetFrame() {
    placeFrame(employees::centredFrame(m_picture.size()), false);
}

void PhotoBox::moveFrame(double dx, double dy) {
    if (m_frame.isNull())
        return;
    placeFrame(m_frame.translated(qRound(dx * m_frame.width()), qRound(dy * m_frame.width())), true);
}

void PhotoBox::zoomFrame(double factor) {
    if (!m_frame.isNull())
        placeFrame(employees::zoomedFrame(m_frame, factor, m_picture.size()), true);
}

void PhotoBox::mousePressEvent(QMouseEvent* event) {
    const QRect shown = pictureRect();
    if (!m_framing || shown.isEmpty())
        return QFrame::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    m_dragFrom = event->position();
}

void PhotoBox::mouseMoveEvent(QMouseEvent* event) {
    const QRect shown = pictureRect();
    if (!m_framing || shown.isEmpty() || !(event->buttons() & Qt::LeftButton))
        return QFrame::mouseMoveEvent(event);
    // Screen pixels to picture pixels.
    const double scale = double(m_picture.width()) / shown.width();
    const QPointF delta = (event->position() - m_dragFrom) * scale;
    m_dragFrom = event->position();
    placeFrame(m_frame.translated(qRound(delta.x()), qRound(delta.y())), true);
}

void PhotoBox::wheelEvent(QWheelEvent* event) {
    if (!m_framing || m_frame.isNull())
        return QFrame::wheelEvent(event);
    zoomFrame(event->angleDelta().y() > 0 ? 0.9 : 1.0 / 0.9);
    event->accept();
}

void PhotoBox::keyPressEvent(QKeyEvent* event) {
    if (!m_framing || m_frame.isNull())
        return QFrame::keyPressEvent(event);
    const double step = event->modifiers() & Qt::ShiftModifier ? 0.1 : 0.02;
    switch (event->key()) {
    case Qt::Key_Left:
        return moveFrame(-step, 0);
    case Qt::Key_Right:
        return moveFrame(step, 0);
    case Qt::Key_Up:
        return moveFrame(0, -step);
    case Qt::Key_Down:
        return moveFrame(0, step);
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return zoomFrame(0.9);
    case Qt::Key_Minus:
        return zoomFrame(1.0 / 0.9);
    case Qt::Key_Home:
        return resetFrame();
    default:
        QFrame::keyPressEvent(event);
    }
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
    if (!m_framing || m_frame.isNull())
        return;
    // The frame on screen: picture pixels scaled to the drawn picture.
    const double sx = double(target.width()) / m_picture.width();
    const double sy = double(target.height()) / m_picture.height();
    const QRectF shown(target.x() + m_frame.x() * sx, target.y() + m_frame.y() * sy, m_frame.width() * sx,
                       m_frame.height() * sy);
    QPainterPath outside;
    outside.addRect(QRectF(target));
    outside.addRect(shown);
    painter.fillPath(outside, QColor(0, 0, 0, 110));
    painter.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::white), 2));
    painter.drawRect(shown.adjusted(1, 1, -1, -1));
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
