#include "employees/photofile.h"

#include "app/appfacts.h"
#include "app/safefilename.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QtGlobal>

#include <algorithm>

namespace {

bool isShownFormat(const QByteArray& format) {
    static const QList<QByteArray> shown = {"jpeg", "jpg", "png", "bmp", "gif"};
    return shown.contains(format.toLower());
}

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

QImage readPicture(QIODevice* device, const QString& what, QString* error) {
    QImageReader reader(device);
    // Temporary copies are always called .jpg, whatever the stored picture is.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    // Qt also reads text-based formats (XPM, PBM) that an ordinary text file can pass for; only the
    // formats a badge photograph comes in are taken.
    if (!isShownFormat(reader.format())) {
        setError(error, QStringLiteral("%1 is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF). "
                                       "Choose a picture file in one of these formats.")
                            .arg(what));
        return QImage();
    }
    QImage image = reader.read();
    if (image.isNull())
        setError(error, QStringLiteral("%1 is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF): "
                                       "%2. Choose another picture file.")
                            .arg(what, reader.errorString()));
    return image;
}

} // namespace

QString photoTempFileName(const QString& code) {
    return app::safeFileName(code, QStringLiteral(".jpg"));
}

QString photoTempFilePath(const QString& code) {
    return AppFacts::tempDirectory() + u'/' + photoTempFileName(code);
}

QImage loadPicture(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Could not open the picture %1: %2. Check that the file exists and "
                                       "can be read.")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
        return QImage();
    }
    return readPicture(&file, QDir::toNativeSeparators(path), error);
}

QImage loadPictureData(const QByteArray& bytes, QString* error) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readPicture(&buffer, QStringLiteral("The stored photograph"), error);
}

bool isPictureFile(const QString& path, QString* error) {
    return !loadPicture(path, error).isNull();
}

QRect fitRect(QSize picture, QRect box) {
    if (picture.isEmpty() || box.isEmpty())
        return QRect();
    const qint64 pw = picture.width();
    const qint64 ph = picture.height();
    const qint64 bw = box.width();
    const qint64 bh = box.height();
    qint64 width = bw;
    qint64 height = bh;
    // Compare the proportions in integers so that an exact fit stays exact.
    if (pw * bh > ph * bw)
        height = std::clamp<qint64>((ph * bw + pw / 2) / pw, 1, bh);
    else
        width = std::clamp<qint64>((pw * bh + ph / 2) / ph, 1, bw);
    return QRect(box.x() + int((bw - width) / 2), box.y() + int((bh - height) / 2), int(width), int(height));
}
