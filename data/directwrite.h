// A large value stored while no other program has the SQLite file open goes straight into the file: for
// as long as the write lasts the file leaves its write-ahead log for SQLite's rollback journal, which
// keeps only the old content of the pages a write changes. Pages added at the end of the file need
// none, so the value is written once instead of into the log and then again into the file. A program
// that opens the file meanwhile waits for the write as writers always wait for each other; with another
// program on the file, inside a transaction, or on a server, nothing changes.
#pragma once

#include <QtGlobal>

#include <memory>

struct sqlite3;

namespace data {

class Connection;
class DirectWriter;

// Smaller values go through the log: they fit in what the log may keep anyway.
inline constexpr qint64 DirectWriteAt = 64 * 1024 * 1024;

class DirectWrite {
public:
    DirectWrite(Connection& connection, qint64 bytes);
    ~DirectWrite(); // the file goes back to its log
    DirectWrite(const DirectWrite&) = delete;
    DirectWrite& operator=(const DirectWrite&) = delete;

    bool isDirect() const { return m_db != nullptr; }

private:
    Connection& m_connection;
    sqlite3* m_db = nullptr;
    std::unique_ptr<DirectWriter> m_writer;
};

} // namespace data
