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
