#include "data/sqlitefile.h"

#include "app/apperror.h"
#include "app/nativename.h"
#include "data/connection.h"
#include "data/outputfile.h"
#include "data/sqlitewait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

SqliteFileFacts sqliteFileFacts(const QString& file) {
    const QFileInfo info(file);
    SqliteFileFacts facts;
    facts.exists = info.exists();
    facts.fileWritable = info.isWritable();
    facts.folderWritable = QFileInfo(info.absolutePath()).isWritable();
    facts.logExists = QFileInfo::exists(file + QStringLiteral("-wal"));
    facts.sharedExists = QFileInfo::exists(file + QStringLiteral("-shm"));
    return facts;
}

SqliteAccess chooseSqliteAccess(const SqliteFileFacts& facts) {
    if (!facts.exists)
        return SqliteAccess::ReadWrite; // creating it; fails with the folder's own cause when it cannot
    if (facts.fileWritable && facts.folderWritable)
        return SqliteAccess::ReadWrite;
    // SQLite needs the shared-memory file beside a log; when it cannot be made and no log waits to be
    // read, nobody can be writing the file through SQLite, so reading it as unchanging is sound.
    if (!facts.folderWritable && !facts.logExists && !facts.sharedExists)
        return SqliteAccess::Immutable;
    return SqliteAccess::ReadOnly;
}

SqliteOpenSettings sqliteOpenSettings(const QString& file, SqliteAccess access) {
    switch (access) {
    case SqliteAccess::ReadWrite:
        // Writers wait for each other's writes (Connection sets how); readers never need to in
        // write-ahead-log mode.
        return {file, QString()};
    case SqliteAccess::ReadOnly:
        return {file, QStringLiteral("QSQLITE_OPEN_READONLY")};
    case SqliteAccess::Immutable: {
        QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
        url.setQuery(QStringLiteral("immutable=1"));
        return {url.toString(QUrl::FullyEncoded), QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI")};
    }
    }
    return {file, QString()};
}

namespace {

constexpr long long FoldLogAt = 40 * 1024 * 1024;

int afterCommit(void* pageSize, sqlite3* handle, const char* database, int frames) {
    const long long logBytes = static_cast<long long>(frames) * reinterpret_cast<intptr_t>(pageSize);
    if (logBytes < FoldLogAt)
        return SQLITE_OK;
    // A cut that cannot be made at once still folds what it can, as a plain fold would.
    const ShortWaits never(0);
    sqlite3_wal_checkpoint_v2(
        handle, database, logBytes > LogSizeLimit ? SQLITE_CHECKPOINT_TRUNCATE : SQLITE_CHECKPOINT_PASSIVE,
        nullptr, nullptr);
    return SQLITE_OK;
}

} // namespace

void foldLogAfterCommits(sqlite3* handle, int pageSize) {
    sqlite3_wal_hook(handle, &afterCommit, reinterpret_cast<void*>(intptr_t(std::max(pageSize, 512))));
}

void foldLog(sqlite3* handle) {
    if (!handle || !sqlite3_get_autocommit(handle) || sqlite3_db_readonly(handle, "main") != 0)
        return;
    const ShortWaits briefly(500);
    sqlite3_wal_checkpoint_v2(handle, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

namespace {

struct CloseTarget {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

QString sqliteMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

namespace {

bool pathExists(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0; // a link to nowhere is there too
}

// A fresh file beside the target, created here so that it is nobody else's, whose journal name is free
// as well: SQLite would take a journal found there for its own and roll it into the copy.
QByteArray createPartial(const QByteArray& target) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        QByteArray name = target + ".partial-XXXXXX";
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return {};
        ::close(fd);
        if (!pathExists(name + "-journal"))
            return name;
        ::unlink(name.constData());
    }
    errno = EEXIST;
    return {};
}

} // namespace

void backupDatabase(Connection& connection, const QString& target) {
    const QString shown = QDir::toNativeSeparators(target);
    sqlite3* source = sqliteHandle(connection.database());
    if (!source)
        throw AppError(
            QStringLiteral("Could not copy the database %1: it is not open.").arg(connection.location()));
    refuseDatabaseFile(target);
    const QByteArray native = app::encodeNativeName(target);
    const auto exists = [&] {
        return AppError(QStringLiteral("Could not write the copy %1: the file exists already. Choose another "
                                       "name or remove it first.")
                            .arg(shown));
    };
    if (pathExists(native))
        throw exists();
    const QByteArray partial = createPartial(native);
    const auto fail = [&](const QString& cause) {
        ::unlink(partial.constData());
        ::unlink((partial + "-journal").constData());
        return AppError(QStringLiteral("Could not copy the database %1 to %2: %3")
                            .arg(connection.location(), shown, cause));
    };
    if (partial.isEmpty())
        throw AppError(
            QStringLiteral("Could not copy the database %1 to %2: %3. Check that the folder exists "
                           "and is writable.")
                .arg(connection.location(), shown, QString::fromLocal8Bit(std::strerror(errno))));
    {
        sqlite3* raw = nullptr;
        const int opened =
            sqlite3_open_v2(partial.constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const std::unique_ptr<sqlite3, CloseTarget> copy(raw);
        if (opened != SQLITE_OK)
            throw fail(raw ? sqliteMessage(raw) : QStringLiteral("out of memory"));
        // One step copies every page under one read snapshot: the copy is consistent even while
        // another connection writes, and writers are not held up.
        sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source, "main");
        if (!backup)
            throw fail(sqliteMessage(copy.get()));
        const int stepped = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (stepped != SQLITE_DONE)
            throw fail(QString::fromUtf8(sqlite3_errstr(stepped)));
        char* error = nullptr;
        if (sqlite3_exec(copy.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, &error) != SQLITE_OK) {
            const QString cause = QString::fromUtf8(error ? error : "unknown error");
            sqlite3_free(error);
            throw fail(cause);
        }
    }
    // A link never replaces a file that appeared meanwhile; folders that know no links (a FAT stick)
    // get a rename after one more look.
    if (::link(partial.constData(), native.constData()) == 0) {
        ::unlink(partial.constData());
        return;
    }
    if (errno == EEXIST || pathExists(native)) {
        ::unlink(partial.constData());
        throw exists();
    }
    if (::rename(partial.constData(), native.constData()) != 0)
        throw fail(
            QStringLiteral("the finished copy could not be renamed; check that the folder is writable"));
}

} // namespace data
