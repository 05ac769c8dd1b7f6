// Files made and read back by tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes the bytes to the path; returns the path, or an empty text when the file could not be written.
inline QString writeTestFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

inline QByteArray readTestFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
