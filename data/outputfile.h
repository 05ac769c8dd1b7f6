// Files the operator names for the program to write (--out, --pdf, a save dialog's answer). Owns the
// rules every such writer keeps: the database in use and its working files are never written over,
// whatever link leads to them; a device or named pipe is written into, never replaced; a regular file
// is written under a fresh unique name beside it and renamed into place only when complete, so a
// failure leaves the old file as it was. Names go to the system byte for byte (app/nativename.h).
#pragma once

#include <QFile>
#include <QString>

#include <memory>

namespace data {

// Whether a committed file must survive a power cut: what the operator asked for must; a copy made only
// for a viewer or to read its text is made anew next time, and syncing it would double the wait.
enum class Durability { Synced, Scratch };

// Throws AppError when writing path would write the database of the connection in use or the
// application directory's database, or one of their -wal, -shm or -journal files: by name, through a
// symbolic link, or as a hard link to the same file.
void refuseDatabaseFile(const QString& path);

class OutputFile {
public:
    explicit OutputFile(QString path, Durability durability = Durability::Synced);
    ~OutputFile(); // an output not committed is removed; a device is left as it is
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the path (refuseDatabaseFile, no folder, no socket) and opens the output for writing, with
    // the extra mode given (Unbuffered); throws AppError naming the file and what to do.
    void open(QIODevice::OpenMode extra = {});
    QIODevice& device() { return m_file; }
    // Writes everything to disk and moves it into place. Returns false with errorString() on failure;
    // the target is then untouched.
    bool commit();
    void cancel();
    QString errorString() const { return m_error.isEmpty() ? m_file.errorString() : m_error; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    QByteArray m_target;    // the name as bytes for the system
    QByteArray m_temporary; // the unique name written before the rename; empty when writing in place
    QFile m_file;
    QString m_error;
    Durability m_durability;
    bool m_open = false;
};

} // namespace data
