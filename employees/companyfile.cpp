#include "employees/companyfile.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/windows1252.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

// Only the first line matters; a cap keeps a stray huge file from being read whole.
constexpr qint64 MaxBytesRead = 1 << 20;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// The whole text read, decoded: UTF-16 when it starts with its byte order mark, otherwise the first line
// by its bytes (new files are UTF-8, files from older installations ANSI).
QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return app::decodeText(bytes);
    const qsizetype lineEnd = std::min(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'),
                                       bytes.indexOf('\r') < 0 ? bytes.size() : bytes.indexOf('\r'));
    return app::decodeText(QByteArrayView(bytes).first(lineEnd));
}

// Text files hold no control characters besides tabs, line and page ends; a picture or a document saved
// under the name does, and would otherwise print as garbage on every badge.
bool looksLikeText(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r' && u != u'\f') || u == 0x7F)
            return false;
    }
    return true;
}

QString firstField(const QString& line) {
    qsizetype start = 0;
    while (start < line.size() && isBlank(line.at(start)))
        ++start;
    if (start < line.size() && line.at(start) == u'"') {
        // An unclosed quote runs to the end of the line: only the first line is ever read.
        qsizetype end = line.indexOf(u'"', start + 1);
        if (end < 0)
            end = line.size();
        return line.mid(start + 1, end - start - 1);
    }
    qsizetype end = line.indexOf(u',', start);
    if (end < 0)
        end = line.size();
    return line.mid(start, end - start);
}

// The line the reader turns back into the name. Plain names are stored exactly as typed so that
// older installations show them unchanged. A name the reader would cut or trim is enclosed in double
// quotes; inside quotes a double quote cannot be written at all (the reader ends the field there), so
// such a name drops its double quotes. That also keeps the old habit of typing "Acme, Inc." with
// quotes to protect the comma: it is stored and read back as Acme, Inc.
QString lineFor(QString name) {
    // The reader stops at the first line end, so a line break would cut the name there; a blank keeps
    // the words apart instead.
    QString joined;
    joined.reserve(name.size());
    bool inBreak = false;
    for (const QChar c : std::as_const(name)) {
        const bool isBreak = c == u'\r' || c == u'\n';
        if (isBreak && !inBreak)
            joined.append(u' ');
        else if (!isBreak)
            joined.append(c);
        inBreak = isBreak;
    }
    name = joined;

    // A trailing blank would read back fine here, but readers that trim fields would lose it.
    const bool needsQuotes =
        name.contains(u',') ||
        (!name.isEmpty() && (isBlank(name.front()) || name.front() == u'"' || isBlank(name.back())));
    if (!needsQuotes)
        return name;
    name.remove(u'"');
    return u'"' + name + u'"';
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QString companyFilePath() {
    return QDir(AppFacts::applicationDirectory()).filePath(AppFacts::companyFileName());
}

std::optional<QString> readCompanyName(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    if (info.isDir())
        throw AppError(QStringLiteral("Could not read the company name: %1 is a folder, not a file. Remove "
                                      "or rename it, then enter the company name again.")
                           .arg(nativePath(path)));

    QFile file(path);
    const auto fail = [&] {
        throw AppError(QStringLiteral("Could not read the company name from %1: %2. Check that the file "
                                      "can be read, or enter the company name again.")
                           .arg(nativePath(path), file.errorString()));
    };
    if (!file.open(QIODevice::ReadOnly))
        fail();
    const QByteArray bytes = file.read(MaxBytesRead);
    if (file.error() != QFileDevice::NoError)
        fail();

    // Control bytes show up in 8-bit text as themselves, so the whole text read is checked.
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    const QString text = decodeText(bytes);
    if (!looksLikeText(utf16 ? text : QString::fromLatin1(bytes)))
        throw AppError(QStringLiteral("Could not read the company name: %1 is not a text file. Enter the "
                                      "company name again (File > Add/Edit Company), which replaces it.")
                           .arg(nativePath(path)));
    return firstField(text.first(std::min(text.indexOf(u'\n') < 0 ? text.size() : text.indexOf(u'\n'),
                                          text.indexOf(u'\r') < 0 ? text.size() : text.indexOf(u'\r'))));
}

void writeCompanyName(const QString& path, const QString& name) {
    const QByteArray content = lineFor(name).toUtf8() + "\r\n";

    // QSaveFile writes beside the target and renames only after everything is on disk, so a full disk
    // or a read-only folder never leaves the stored name empty or half written. Unbuffered, because a
    // buffered QFileDevice reports success when the disk fills part-way through its flush.
    QSaveFile file(path);
    const auto fail = [&](const QString& cause) {
        file.cancelWriting();
        throw AppError(QStringLiteral("Could not save the company name to %1: %2. Check that the folder %3 "
                                      "exists and can be written to, and that the disk is not full; the "
                                      "previous company name was kept.")
                           .arg(nativePath(path), cause, nativePath(QFileInfo(path).absolutePath())));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file.errorString());
    const qint64 written = file.write(content);
    if (written != content.size())
        fail(file.error() != QFileDevice::NoError ? file.errorString()
                                                  : QStringLiteral("only %1 of %2 bytes could be written")
                                                        .arg(qMax<qint64>(written, 0))
                                                        .arg(content.size()));
    if (!file.commit())
        fail(file.errorString());
}
