// The Access files under the shared fixtures, for the import tests; empty paths when they are absent.
#pragma once

#include "testappdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QString>

// Skips the test when the fixtures are absent.
#define REQUIRE_FIXTURES()                                                                                   \
    if (mdbfixtures::folder().isEmpty())                                                                     \
    QSKIP("the shared Access fixtures (../shared/fixtures/mdb) are not here")

namespace mdbfixtures {

inline QString folder() {
    const QString root = TestAppDir::fixtures();
    return root.isEmpty() || !QDir(root).exists(QStringLiteral("mdb")) ? QString()
                                                                       : root + QStringLiteral("/mdb");
}

inline QString sample() {
    const QString dir = folder();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/Sample.mdb");
}

inline QString thirdParty(const QString& name) {
    return folder() + QStringLiteral("/third-party/") + name;
}

inline QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// "Table.key.column" -> (bytes, sha256) from Sample.manifest.txt.
inline QHash<QString, std::pair<qint64, QString>> manifest() {
    QHash<QString, std::pair<qint64, QString>> entries;
    QFile file(folder() + QStringLiteral("/Sample.manifest.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (line.startsWith(QLatin1Char('#')) || fields.size() < 3)
            continue;
        entries.insert(fields[0], {fields[1].toLongLong(), fields[2]});
    }
    return entries;
}

} // namespace mdbfixtures
