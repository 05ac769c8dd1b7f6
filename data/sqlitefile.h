// What the program needs of SQLite beyond Qt SQL: the raw handle, how a file can be opened (read-write,
// read-only, or as unchanging media) and a consistent copy of a database that may be in use.
#pragma once

#include <QString>

struct sqlite3;
class QSqlDatabase;

namespace data {

class Connection;

// The driver's sqlite3 handle; nullptr when the connection is not SQLite or not open.
sqlite3* sqliteHandle(const QSqlDatabase& db);

enum class SqliteAccess {
    ReadWrite, // the file (or, for a new file, its folder) can be written
    ReadOnly,  // the file cannot be written; SQLite can still share the log with writers
    Immutable, // nothing beside the file can be written and no log is pending: read as unchanging media
};

struct SqliteFileFacts {
    bool exists = false;
    bool fileWritable = false;
    bool folderWritable = false;
    bool logExists = false;    // <file>-wal
    bool sharedExists = false; // <file>-shm
};

SqliteFileFacts sqliteFileFacts(const QString& file);
SqliteAccess chooseSqliteAccess(const SqliteFileFacts& facts);

// Qt's connect options and database name for opening `file` with that access.
struct SqliteOpenSettings {
    QString databaseName;
    QString connectOptions;
};
SqliteOpenSettings sqliteOpenSettings(const QString& file, SqliteAccess access);

// The size a write-ahead log is cut back to when it starts over (PRAGMA journal_size_limit), and the
// most a commit leaves behind.
inline constexpr long long LogSizeLimit = 64 * 1024 * 1024;

// Takes over from SQLite's own folding after commits (PRAGMA wal_autocheckpoint): the log is folded
// back into the file once it holds about 40 MB rather than 4 MB, so that one large photograph is not
// written twice, and a commit that leaves it longer than LogSizeLimit (a large upload, the delete of a
// large document) also cuts it to nothing. The cut is tried without waiting: while another program
// reads from the log, a later commit tries again, and SQLite cuts it when the log starts over.
void foldLogAfterCommits(sqlite3* handle, int pageSize);

// Folds the write-ahead log back into the file and cuts it to nothing, so that a large write does not
// leave a log of its size behind. Waits a moment at most for other programs reading from the log, and
// leaves the rest to the next write when they go on. Does nothing inside a transaction.
void foldLog(sqlite3* handle);

// Writes a consistent copy of the open database to `target` with SQLite's online backup API, while
// other connections may go on writing. The copy is one self-contained file (no write-ahead log), so it
// opens anywhere, also from read-only media. It is written under a temporary name beside `target` and
// renamed at the end, so `target` only ever appears complete. Throws AppError; refuses an existing
// target.
void backupDatabase(Connection& connection, const QString& target);

} // namespace data
