#include "employees/photofile.h"

#include "app/nativename.h"

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

// bound: decoded no larger than this (the size a badge prints it at). reduced: decode at an eighth of the
// size where the decoder can (JPEG): every byte of the picture's data is still read, but most of the
// arithmetic is skipped, when only whether it decodes matters.
QImage readPicture(QIODevice* device, const QString& what, QString* error, QSize bound = QSize(),
                   bool reduced = false) {
    QImageReader reader(device);
    // Temporary copies are always called .jpg, whatever the stored picture is.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (reduced && reader.size().isValid())
        reader.setScaledSize((reader.size() / 8).expandedTo(QSize(1, 1)));
    // Qt also reads text-based formats (XPM, PBM) that an ordinary text file can pass for; only the
    // formats a badge photograph comes in are taken.
    if (!isShownFormat(reader.format())) {
        setError(error, QStringLiteral("%1 is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF). "
                                       "Choose a picture file in one of these formats.")
                            .arg(what));
        return QImage();
    }
    if (bound.isValid() && reader.size().isValid()) {
        // The bound is for the upright picture; the decoder sees it as stored, maybe lying on its side.
        const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        const QSize stored = reader.size();
        const QSize wanted = turned ? bound.transposed() : bound;
        if (stored.width() > wanted.width() || stored.height() > wanted.height())
            reader.setScaledSize(stored.scaled(wanted, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    if (image.isNull())
        setError(error, QStringLiteral("%1 is not a picture that Pellorin can show (JPEG, PNG, BMP or GIF): "
                                       "%2. Choose another picture file.")
                            .arg(what, reader.errorString()));
    return image;
}

// A JPEG is whole when its markers lead, past at least one scan, to the end-of-image marker. A file cut
// short, or a header with no image data, never gets there; Qt would still show it, greyed out below
// the cut.
bool jpegIsWhole(const QByteArray& d) {
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(d.at(i)); };
    if (d.size() < 4 || at(0) != 0xFF || at(1) != 0xD8)
        return false;
    bool scanned = false;
    qsizetype i = 2;
    while (i + 1 < d.size()) {
        if (at(i) != 0xFF)
            return false;
        const unsigned char marker = at(i + 1);
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        i += 2;
        if (marker == 0xD9)
            return scanned;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (i + 1 >= d.size())
            return false;
        const qsizetype length = (qsizetype(at(i)) << 8) | at(i + 1);
        if (length < 2 || i + length > d.size())
            return false;
        i += length;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data runs to the next marker; FF 00 is a data byte, FF D0-D7 restart markers.
        scanned = true;
        while (i + 1 < d.size()) {
            if (at(i) == 0xFF && at(i + 1) != 0x00 && !(at(i + 1) >= 0xD0 && at(i + 1) <= 0xD7))
                break;
            i += at(i) == 0xFF ? 2 : 1;
        }
    }
    return false;
}

// Whether the picture's data runs to its format's end mark: the decoders of Qt accept some pictures
// that were cut short and fill the missing part with grey.
bool pictureIsWhole(const QByteArray& format, const QByteArray& bytes) {
    const QByteArray f = format.toLower();
    if (f == "jpeg" || f == "jpg")
        return jpegIsWhole(bytes);
    if (f == "png") // the last chunk is IEND: length, type, CRC
        return bytes.size() >= 12 && bytes.mid(bytes.size() - 8, 4) == "IEND";
    if (f == "gif") // the trailer byte
        return bytes.endsWith('\x3B');
    if (f == "bmp" && bytes.size() >= 6) { // the header's file size, when it gives one
        const quint32 size = quint32(quint8(bytes[2])) | quint32(quint8(bytes[3])) << 8 |
                             quint32(quint8(bytes[4])) << 16 | quint32(quint8(bytes[5])) << 24;
        return size == 0 || size <= quint32(bytes.size());
    }
    return true;
}

} // namespace

QString photoTempFileName(const QString& code) {
    return app::safeFileName(code, QStringLiteral(".jpg"));
}

QString photoTempFilePath(const QString& code) {
    return AppFacts::tempDirectory() + u'/' + photoTempFileName(code);
}

QImage loadPicture(const QString& path, QString* error) {
    return loadPicture(path, QSize(), error);
}

QImage loadPicture(const QString& path, const QSize& bound, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Could not open the picture %1: %2. Check that the file exists and "
                                       "can be read.")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
        return QImage();
    }
    return readPicture(&file, QDir::toNativeSeparators(path), error, bound);
}

QImage loadPictureData(const QByteArray& bytes, QString* error) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readPicture(&buffer, QStringLiteral("The stored photograph"), error);
}

bool isWholePicture(const QByteArray& bytes, const QString& what, QString* error) {
    return isWholePicture(bytes, what, error, false);
}

bool isWholePicture(const QByteArray& bytes, const QString& what, QString* error, bool reduced) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    if (readPicture(&buffer, what, error, QSize(), reduced).isNull())
        return false;
    QBuffer again;
    again.setData(bytes);
    again.open(QIODevice::ReadOnly);
    if (pictureIsWhole(QImageReader::imageFormat(&again), bytes))
        return true;
    setError(error, QStringLiteral("%1 is cut short or holds no complete picture: its data ends before the "
                                   "picture does. Choose a complete picture file.")
                        .arg(what));
    return false;
}

bool isPictureFile(const QString& path, QString* error) {
    QFile file; // by the name's bytes, also when they are not UTF-8
    if (const QString cause = app::openExactly(file, path); !cause.isEmpty()) {
        setError(error, QStringLiteral("Could not open the picture %1: %2. Check that the file exists and "
                                       "can be read.")
                            .arg(QDir::toNativeSeparators(path), cause));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("Could not read the picture %1: %2.")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return isWholePicture(bytes, QDir::toNativeSeparators(path), error);
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
