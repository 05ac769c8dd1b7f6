// One Access (Jet 3 or Jet 4) database file, opened for reading only. Owns the libmdb handle and the
// read-only mapping of the file; the file's bytes and time stamps stay as they were. Knows nothing of
// the program's tables.
#pragma once

#include <QString>
#include <QStringList>

#include <mdbtools.h>

namespace legacy {

enum class JetFormat { Jet3, Jet4 };

class JetFile {
public:
    // Throws AppError when the file cannot be read, is not an Access file, or has a format this
    // program does not import.
    explicit JetFile(const QString& path);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    MdbHandle* handle() const { return m_mdb; }
    JetFormat format() const { return m_format; }
    const QString& path() const { return m_path; }
    qint64 size() const { return qint64(m_size); }
    // The tables the file's users made (no system tables), in catalog order.
    QStringList userTables() const;

private:
    void release();

    QString m_path;
    JetFormat m_format = JetFormat::Jet4;
    int m_fd = -1;
    void* m_map = nullptr;
    size_t m_size = 0;
    MdbHandle* m_mdb = nullptr;
};

// Checks the first bytes of a file for the Jet signature and version; throws AppError naming the file
// when it is not an Access database or is a newer (Access 2007 .accdb) one.
JetFormat checkJetHeader(const char* bytes, size_t size, const QString& path);

// "<file> is damaged: <what>. ..." for the reading code.
QString damagedMessage(const QString& path, const QString& what);

} // namespace legacy
