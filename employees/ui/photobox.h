// A picture box for a photograph: shows the picture scaled to fit the box with its proportions kept, and
// takes a picture file dropped onto it. It only reports the dropped file; whether that file is a picture
// worth keeping is for the window to decide. With framing on it also shows the badge's frame over the
// picture: dragged with the mouse or moved with the arrow keys, zoomed with the wheel or + and -, put
// back with Home; the part outside the frame is dimmed.
#pragma once

#include <QFrame>
#include <QImage>
#include <QPixmap>

class PhotoBox : public QFrame {
    Q_OBJECT
public:
    explicit PhotoBox(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    bool hasPicture() const { return !m_picture.isNull(); }
    void clear();

    // Where the picture is drawn inside the box; a null rect without a picture.
    QRect pictureRect() const;

    void setFraming(bool on);
    // The frame in the picture's pixels; the centred frame until the operator moves it.
    QRect frame() const { return m_frame; }
    void setFrame(const QRect& frame);
    // True once the operator moved or zoomed the frame since the picture was set or the frame reset.
    bool frameMoved() const { return m_frameMoved; }
    void resetFrame();
    // Moves the frame by a share of its width (dx, dy in frame widths) or zooms it (below 1 zooms in).
    void moveFrame(double dx, double dy);
    void zoomFrame(double factor);

signals:
    void fileDropped(const QString& path);
    void frameChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeFrame(const QRect& frame, bool moved);

    bool m_framing = false;
    QRect m_frame;
    bool m_frameMoved = false;
    QPointF m_dragFrom; // picture pixels under the mouse when the drag began or last moved
    QImage m_picture;
    QPixmap m_scaled; // the picture at the size last drawn, so repainting does not rescale a large photo
};
