// Makes a file or folder read-only for the length of a test, and writable again afterwards. As root,
// permission bits do not stop writes, so the immutable attribute stands in; a test skips when neither
// works.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>

#include <unistd.h>

class ReadOnlyPath {
public:
    explicit ReadOnlyPath(QString path) : m_path(std::move(path)) {
        if (geteuid() != 0) {
            m_permissions = QFile::permissions(m_path);
            m_done = QFile::setPermissions(m_path, m_permissions & ~(QFile::WriteOwner | QFile::WriteUser |
                                                                     QFile::WriteGroup | QFile::WriteOther));
        } else {
            m_immutable = m_done =
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_path}) == 0;
        }
    }
    ~ReadOnlyPath() {
        if (!m_done)
            return;
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        else
            QFile::setPermissions(m_path, m_permissions);
    }
    ReadOnlyPath(const ReadOnlyPath&) = delete;
    ReadOnlyPath& operator=(const ReadOnlyPath&) = delete;
    bool done() const { return m_done; }

private:
    QString m_path;
    QFile::Permissions m_permissions;
    bool m_immutable = false;
    bool m_done = false;
};
