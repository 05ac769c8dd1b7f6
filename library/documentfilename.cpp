// Where an opened document's copy goes, and under which name.
#include "app/appfacts.h"
#include "library/documents.h"

#include <QDir>

namespace library {

namespace {

// Most file systems hold names of up to 255 bytes.
constexpr qsizetype MaxNameBytes = 255;

bool cannotStandInName(QChar c) {
    // Separators and control characters on every system; the rest Windows refuses, and a copy made on
    // a shared drive may be opened there.
    return c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'/' || c == u'\\' || c == u':' || c == u'*' ||
           c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

} // namespace

QString fileNameForDocument(const QString& storedName) {
    QString name;
    name.reserve(storedName.size());
    for (const QChar c : storedName)
        name.append(cannotStandInName(c) ? QChar(u'_') : c);
    // "", "." and ".." name the folder itself or the one above it; Windows drops trailing dots and blanks.
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("document");
    if (name.toUtf8().size() <= MaxNameBytes)
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 && name.size() - dot <= 11 ? name.mid(dot) : QString();
    QString stem = name.left(name.size() - extension.size());
    while (!stem.isEmpty() && (stem + extension).toUtf8().size() > MaxNameBytes)
        stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
    return stem + extension;
}

QString tempPathForDocument(qint64 documentId, const QString& storedName) {
    return QDir(AppFacts::tempDirectory())
        .filePath(QStringLiteral("Documents/%1/%2").arg(documentId).arg(fileNameForDocument(storedName)));
}

} // namespace library
