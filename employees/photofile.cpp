#include "employees/photofile.h"

#include "app/appfacts.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QtGlobal>

#include <algorithm>

namespace {

// Longest code kept as it is: with ".jpg" the name stays well inside every file system's limit, and
// temp/ plus the name inside the 260 characters older Windows programs still expect.
constexpr qsizetype MaxOrdinaryCodeLength = 116;
// Enough of an unusual code to recognise it when looking into temp/.
constexpr qsizetype MaxReadablePartLength = 40;
// Set apart from ordinary names by a character they never contain.
constexpr char16_t HashMarker = u'~';
// 64 bits of SHA-256: two codes sharing a file would take billions of codes.
constexpr qsizetype HashHexDigits = 16;

bool isAsciiLetterOrDigit(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isOrdinaryCharacter(QChar c) {
    return isAsciiLetterOrDigit(c) || c == u'-' || c == u'_' || c == u'.' || c == u' ';
}

// Windows opens the device instead of the file for these names, whatever follows the first dot and
// whatever the letter case. COM0 and LPT0 are reserved on newer versions.
bool isWindowsDeviceName(const QString& code) {
    const QString stem = code.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    if (fixed.contains(stem))
        return true;
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           stem.at(3) >= u'0' && stem.at(3) <= u'9';
}

bool isOrdinaryCode(const QString& code) {
    if (code.isEmpty() || code.size() > MaxOrdinaryCodeLength)
        return false;
    if (!std::all_of(code.cbegin(), code.cend(), isOrdinaryCharacter))
        return false;
    // Leading dots hide the file on Linux; Windows drops trailing dots and blanks, so "C300." would
    // share a file with "C300".
    const QChar first = code.front();
    const QChar last = code.back();
    if (first == u'.' || first == u' ' || last == u'.' || last == u' ')
        return false;
    if (code.contains(QLatin1String("..")))
        return false;
    return !isWindowsDeviceName(code);
}

// Hashes the code's UTF-16 units in a fixed byte order, so that codes differing only in a character
// that UTF-8 cannot carry (a lone surrogate) still get different names.
QString codeHash(const QString& code) {
    QByteArray units;
    units.reserve(code.size() * 2);
    for (const QChar c : code) {
        units.append(char(c.unicode() & 0xFF));
        units.append(char(c.unicode() >> 8));
    }
    const QByteArray digest = QCryptographicHash::hash(units, QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(digest.left(HashHexDigits));
}

QString safeName(const QString& code) {
    QString readable;
    for (const QChar c : code.left(MaxReadablePartLength))
        readable.append(isAsciiLetterOrDigit(c) || c == u'-' || c == u'_' ? c : QChar(u'_'));
    return readable + HashMarker + codeHash(code) + QLatin1String(".jpg");
}

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
    return isOrdinaryCode(code) ? code + QLatin1String(".jpg") : safeName(code);
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

bool isWholePicture(const QByteArray& bytes, const QString& what, QString* error) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    if (readPicture(&buffer, what, error).isNull())
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Could not open the picture %1: %2. Check that the file exists and "
                                       "can be read.")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
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
