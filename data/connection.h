// One connection to the database, opened for one operation and closed again. Owns a Qt SQL connection
// under a name of its own, so two windows never share one. Knows nothing of tables or windows.
#pragma once

#include "data/jetdialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

class QSqlError;

namespace data {

// The database's own words for a failure, for messages.
QString errorText(const QSqlError& error);
// A server's message as one line: libpq's notices of earlier statements, the severity word and Qt's
// error code in parentheses taken away.
QString serverMessage(const QString& text);

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database that the connection string names; a new SQLite file is created with the
    // tables and one made by an older version is migrated (see ensureSchema). A file that cannot be
    // written is opened for reading only. Throws AppError naming the file and the cause.
    void open(const QString& connectionString);
    void open(); // with the application's connection string
    void close();
    bool isOpen() const;
    // True when the database was opened for reading only (a read-only file, folder or medium).
    bool isReadOnly() const { return m_readOnly; }

    QSqlDatabase& database() { return m_database; }
    Backend backend() const { return m_backend; }
    // The database file (or server) for messages.
    const QString& location() const { return m_location; }

    // A Jet statement in the backend's SQL, with the program's text order applied.
    QString translate(const QString& jetSql) const;

    // A statement (already translated) and its values made ready to bind. SQLite drops a leading U+FEFF
    // from text bound as UTF-16, as Qt binds it; such text goes in as UTF-8 bytes read as text.
    struct Bound {
        QString sql;
        QVariantList values;
    };
    Bound bindable(const QString& sql, const QVariantList& values) const;

    // Runs one Jet statement that returns no rows, values bound to its '?' marks; returns the rows affected.
    int execute(const QString& jetSql, const QVariantList& values = {});
    // The key the database gave the row that the last execute() inserted.
    const QVariant& lastInsertId() const { return m_lastInsertId; }

    // Starts a transaction that will write. On SQLite it takes the write lock at once, waiting as long
    // as another program writes (see sqlitewait.h): a transaction that read first could not wait later.
    void beginTransaction();
    void commit();
    void rollback();

    // Names that must stay unique, or be numbered one after the other, however many programs store
    // them at once.
    enum class NameLock { EmployeeCode = 1, AttachmentName = 2, DocumentName = 3 };
    // Inside a transaction: waits until no other transaction holds the same name (compared as the
    // database compares text, or coarser) and holds it until this transaction ends, so that a check or
    // a count made next stays true until the commit. SQLite needs nothing: a writing transaction holds
    // the whole file from its start.
    void lockName(NameLock kind, const QString& name);

    // Message text for a failed statement: what failed, where, and the database's own words.
    QString failure(const QString& what, const QString& cause) const;

    // SQLite: closes the idle connection by which this thread keeps the file's log open (made again by
    // the next open), so that this connection can be the only one on the file.
    void closeKeptLog();
    // SQLite: the next open in this process checks the file again, its log included, as on first use.
    void checkAgainOnNextOpen();

private:
    void openSqlite(const QString& file);
    bool checkSqliteSchema(); // true when the schema is current
    void ensureWriteAheadLog();
    [[noreturn]] void failOpen(const QString& cause);

    QString m_name;
    QString m_file; // SQLite: the file as given to open
    QString m_location;
    QSqlDatabase m_database;
    Backend m_backend = Backend::SQLite;
    bool m_readOnly = false;
    QVariant m_lastInsertId;
};

} // namespace data
