#include "data/directwrite.h"

#include "data/connection.h"
#include "data/sqlitefile.h"
#include "data/sqlitewait.h"

#include <QByteArray>

#include <sqlite3.h>

namespace data {

namespace {

// The journal mode the file is in after asking for `mode`; empty when SQLite refused.
QByteArray switchJournal(sqlite3* handle, const char* mode) {
    const QByteArray sql = QByteArray("PRAGMA journal_mode=") + mode;
    sqlite3_stmt* statement = nullptr;
    QByteArray now;
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        now = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))).toLower();
    sqlite3_finalize(statement);
    return now;
}

} // namespace

DirectWrite::DirectWrite(Connection& connection, qint64 bytes) : m_connection(connection) {
    if (bytes < DirectWriteAt || connection.backend() != Backend::SQLite || connection.isReadOnly())
        return;
    sqlite3* handle = sqliteHandle(connection.database());
    if (!handle || !sqlite3_get_autocommit(handle))
        return;
    connection.closeKeptLog();
    // Leaving the log needs the file to itself: any other connection refuses it at once, and the log
    // is kept. Never waited for, so that nobody waits for a speed-up.
    {
        const ShortWaits never(0);
        const bool direct = switchJournal(handle, "delete") == "delete";
        takeCancelledWait();
        if (!direct)
            return;
    }
    m_db = handle;
    m_writer = std::make_unique<DirectWriter>(handle);
}

DirectWrite::~DirectWrite() {
    if (!m_db)
        return;
    m_writer.reset();
    // A program that opened the file meanwhile may be reading it for a moment; if it still is, the
    // next open in this program brings the log back, as it does for a file restored from a copy.
    const ShortWaits briefly(2000);
    if (switchJournal(m_db, "wal") != "wal")
        m_connection.checkAgainOnNextOpen();
    takeCancelledWait();
}

} // namespace data
