#include "app/safefilename.h"

#include "app/apperror.h"
#include "app/appfacts.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QStringList>

#include <algorithm>

namespace app {

namespace {

// Longest name kept as it is: with a short suffix the name stays well inside every file system's limit,
// and temp/ plus the name inside the 260 characters older Windows programs still expect.
constexpr qsizetype MaxOrdinaryLength = 116;
// Enough of an unusual name to recognise it when looking into temp/.
constexpr qsizetype MaxReadablePartLength = 40;
// Set apart from ordinary names by a character they never contain.
constexpr char16_t HashMarker = u'~';
// 64 bits of SHA-256: two names sharing a file would take billions of names.
constexpr qsizetype HashHexDigits = 16;
// Extensions kept on unusual stored names: ".pdf", ".docx", ".jpeg", not whole sentences after a dot.
constexpr qsizetype MaxExtensionLength = 10;

bool isAsciiLetterOrDigit(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isOrdinaryCharacter(QChar c) {
    return isAsciiLetterOrDigit(c) || c == u'-' || c == u'_' || c == u'.' || c == u' ';
}

// Windows opens the device instead of the file for these names, whatever follows the first dot and
// whatever the letter case. COM0 and LPT0 are reserved on newer versions.
bool isWindowsDeviceName(const QString& name) {
    const QString stem = name.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    if (fixed.contains(stem))
        return true;
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           stem.at(3) >= u'0' && stem.at(3) <= u'9';
}

bool isOrdinaryName(const QString& name) {
    if (name.isEmpty() || name.size() > MaxOrdinaryLength)
        return false;
    if (!std::all_of(name.cbegin(), name.cend(), isOrdinaryCharacter))
        return false;
    // Leading dots hide the file on Linux; Windows drops trailing dots and blanks, so "C300." would
    // share a file with "C300".
    const QChar first = name.front();
    const QChar last = name.back();
    if (first == u'.' || first == u' ' || last == u'.' || last == u' ')
        return false;
    if (name.contains(QLatin1String("..")))
        return false;
    return !isWindowsDeviceName(name);
}

// Hashes the name's UTF-16 units in a fixed byte order, so that names differing only in a character
// that UTF-8 cannot carry (a lone surrogate) still get different files.
QString nameHash(const QString& name) {
    QByteArray units;
    units.reserve(name.size() * 2);
    for (const QChar c : name) {
        units.append(char(c.unicode() & 0xFF));
        units.append(char(c.unicode() >> 8));
    }
    const QByteArray digest = QCryptographicHash::hash(units, QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(digest.left(HashHexDigits));
}

QString readablePart(const QString& text) {
    QString readable;
    for (const QChar c : text.left(MaxReadablePartLength))
        readable.append(isAsciiLetterOrDigit(c) || c == u'-' || c == u'_' ? c : QChar(u'_'));
    return readable;
}

// The extension after the last dot, when it is short and made of letters and digits only.
QString plainExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return QString();
    const QString extension = name.mid(dot + 1);
    if (extension.isEmpty() || extension.size() > MaxExtensionLength ||
        !std::all_of(extension.cbegin(), extension.cend(), isAsciiLetterOrDigit))
        return QString();
    return extension;
}

} // namespace

QString safeFileName(const QString& name, const QString& suffix) {
    if (isOrdinaryName(name))
        return name + suffix;
    return readablePart(name) + HashMarker + nameHash(name) + suffix;
}

QString safeStoredFileName(const QString& name) {
    if (isOrdinaryName(name))
        return name;
    const QString extension = plainExtension(name);
    if (extension.isEmpty())
        return safeFileName(name);
    // The hash covers the whole name, so "a b.pdf" and "a_b.pdf" still get different files.
    return readablePart(name.chopped(extension.size() + 1)) + HashMarker + nameHash(name) + u'.' + extension;
}

QString ensureTempFolder(const QString& subfolder) {
    QString folder = AppFacts::tempDirectory();
    if (!subfolder.isEmpty())
        folder += u'/' + subfolder;
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Could not create the folder %1 for temporary files. Check that the "
                                      "application folder %2 is writable.")
                           .arg(QDir::toNativeSeparators(folder),
                                QDir::toNativeSeparators(AppFacts::applicationDirectory())));
    return folder;
}

} // namespace app
