// A picture box for a photograph: shows the picture scaled to fit the box with its proportions kept, and
// takes a picture file dropped onto it. It only reports the dropped file; whether that file is a picture
// worth keeping is for the window to decide.
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

signals:
    void fileDropped(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QImage m_picture;
    QPixmap m_scaled; // the picture at the size last drawn, so repainting does not rescale a large photo
};
