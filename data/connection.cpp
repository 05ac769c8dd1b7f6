#include "data/connection.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connectionstring.h"
#include "data/postgresconnection.h"
#include "data/postgresschema.h"
#include "data/schema.h"
#include "data/sqlitefile.h"
#include "data/sqliteschema.h"
#include "data/sqlitewait.h"
#include "data/textcollation.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <sqlite3.h>

namespace data {

QString errorText(const QSqlError& error) {
    if (takeCancelledWait())
        return cancelledWaitText();
    QString text = serverMessage(error.databaseText());
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

QString serverMessage(const QString& text) {
    // libpq hands over every message of the last exchange (a warning about an earlier statement among
    // them) and the statement with a caret under the fault; Qt adds the error's code in parentheses,
    // empty when there is none. The operator gets the error itself, on one line.
    static const QRegularExpression code(QStringLiteral("\\((?:[0-9A-Z]{5})?\\)$"));
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s*"));
    static const QRegularExpression aside(
        QStringLiteral("^(WARNING|NOTICE|INFO|LOG|DEBUG|LINE \\d+):|^\\s*\\^\\s*$"));
    QStringList kept;
    for (QString line : text.split(u'\n', Qt::SkipEmptyParts)) {
        line.remove(code);
        if (line.contains(aside))
            continue;
        line = line.remove(severity).simplified();
        if (!line.isEmpty())
            kept.append(line);
    }
    return kept.join(u' ');
}

namespace {

// The first key of the program's locks on names ("PEL" and a kind), apart from other programs' locks.
constexpr int NameLockSpace = 0x50454c00;

QString uniqueConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("pellorin-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Files whose tables this process has already made sure of; checked once, not on every open.
QMutex schemaMutex;
QSet<QString> schemaChecked;

bool needsSchemaCheck(const QString& file) {
    QMutexLocker lock(&schemaMutex);
    return !schemaChecked.contains(file);
}

void markSchemaChecked(const QString& file) {
    QMutexLocker lock(&schemaMutex);
    schemaChecked.insert(file);
}

void forgetSchemaCheck(const QString& file) {
    QMutexLocker lock(&schemaMutex);
    schemaChecked.remove(file);
}

// The main thread's idle connections that keep each file's log open (see keepLogOpen), by file; an
// empty name for a file whose keeper could not be opened.
QHash<QString, QString>& keptLogs() {
    thread_local auto* kept = new QHash<QString, QString>(); // lives as long as the thread's connections
    return *kept;
}

void closeKeeper(const QString& name, bool foldFirst) {
    if (name.isEmpty())
        return;
    {
        QSqlDatabase keeper = QSqlDatabase::database(name, false);
        if (foldFirst)
            foldLog(sqliteHandle(keeper));
        keeper.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// At the end of the program the log is folded back into the file and cut to nothing, and the file
// closed, so the program leaves no log of its work behind (the last one to close deletes it).
void closeKeptLogs() {
    for (const QString& name : std::as_const(keptLogs()))
        closeKeeper(name, true);
    keptLogs().clear();
}

bool onMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// With one connection per operation every close would be the database's last, and SQLite then folds
// the write-ahead log back into the file: each photograph would be written twice. One idle connection
// per file, on the main thread, keeps the log open between operations; SQLite still checkpoints as the
// log grows. It serves the worker threads too: one of theirs (a preview, the background index) would
// hold the file for as long as the thread lives, and keep large files off their direct path.
void keepLogOpen(const QString& file) {
    if (!onMainThread() || keptLogs().contains(file))
        return;
    QString& name = keptLogs()[file];
    QSqlDatabase keeper = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), uniqueConnectionName());
    keeper.setDatabaseName(file);
    if (keeper.open()) {
        waitForOtherWriters(sqliteHandle(keeper));
        QSqlQuery touch(keeper);
        touch.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        touch.finish();
        thread_local bool closedAtExit = false;
        if (!closedAtExit && QCoreApplication::instance()) {
            qAddPostRoutine(closeKeptLogs);
            closedAtExit = true;
        }
        name = keeper.connectionName();
    }
}

} // namespace

Connection::Connection() : m_name(uniqueConnectionName()) {}

Connection::~Connection() {
    close();
}

void Connection::open() {
    open(connectionString());
}

void Connection::open(const QString& connectionString) {
    close();
    const ConnectionSettings settings = parseConnectionString(connectionString);
    if (settings.provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0) {
        m_backend = Backend::SQLite;
        openSqlite(settings.dataSource);
        return;
    }
    if (settings.isPostgres()) {
        m_backend = Backend::PostgreSQL;
        m_readOnly = false;
        m_location = postgresLocation(settings);
        m_database = openPostgres(m_name, settings);
        try {
            ensureSchema(*this);
        } catch (...) {
            close();
            throw;
        }
        return;
    }
    throw AppError(QStringLiteral("The database provider \"%1\" is not supported; use Provider=SQLite or "
                                  "Provider=PostgreSQL.")
                       .arg(settings.provider));
}

void Connection::failOpen(const QString& cause) {
    close();
    throw AppError(QStringLiteral("Could not open the database %1: %2").arg(m_location, cause));
}

void Connection::openSqlite(const QString& file) {
    m_file = file;
    m_location = QDir::toNativeSeparators(file);
    const QFileInfo info(file);
    if (!info.absoluteDir().exists())
        throw AppError(QStringLiteral("Could not open the database %1: the folder %2 does not exist. "
                                      "Create it or choose another folder with --data-dir.")
                           .arg(m_location, QDir::toNativeSeparators(info.absolutePath())));
    if (info.exists() && !info.isReadable())
        throw AppError(QStringLiteral("Could not open the database %1: the file cannot be read. "
                                      "Check its permissions.")
                           .arg(m_location));
    const SqliteFileFacts facts = sqliteFileFacts(file);
    if (!facts.exists && !facts.folderWritable)
        throw AppError(QStringLiteral("Could not create the database %1: the folder %2 cannot be written. "
                                      "Check its permissions or choose another folder with --data-dir.")
                           .arg(m_location, QDir::toNativeSeparators(info.absolutePath())));
    const SqliteAccess access = chooseSqliteAccess(facts);
    m_readOnly = access != SqliteAccess::ReadWrite;
    const SqliteOpenSettings settings = sqliteOpenSettings(file, access);

    m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_database.setDatabaseName(settings.databaseName);
    m_database.setConnectOptions(settings.connectOptions);
    if (!m_database.open())
        failOpen(errorText(m_database.lastError()));
    // Still needed by files of schema version 0, which name it; statements apply it through translate().
    sqlite3* handle = sqliteHandle(m_database);
    if (!handle || !registerTextCollation(handle))
        failOpen(QStringLiteral("the text comparison could not be set up."));
    waitForOtherWriters(handle);
    {
        // The log is counted in pages, whose size differs between older and newer files.
        QSqlQuery pragma(m_database);
        const int pageSize =
            pragma.exec(QStringLiteral("PRAGMA page_size")) && pragma.next() ? pragma.value(0).toInt() : 4096;
        foldLogAfterCommits(handle, pageSize);
        // A log that one large write made long is cut back when it starts over.
        pragma.exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(LogSizeLimit));
    }
    if (needsSchemaCheck(info.absoluteFilePath()) && checkSqliteSchema())
        markSchemaChecked(info.absoluteFilePath());
    if (access == SqliteAccess::ReadWrite)
        keepLogOpen(file);
}

bool Connection::checkSqliteSchema() {
    {
        // The first read tells a file that is not a database (or is locked) apart from a good one.
        QSqlQuery probe(m_database);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !probe.next())
            failOpen(errorText(probe.lastError()));
    }
    try {
        switch (sqlite::schemaState(*this)) {
        case sqlite::SchemaState::Current:
            if (!m_readOnly)
                ensureWriteAheadLog();
            return true;
        case sqlite::SchemaState::Newer:
            sqlite::refuseNewerSchema(*this);
        case sqlite::SchemaState::Old:
            // Readable as it is: the collation it names is registered above.
            if (m_readOnly)
                return false;
            break;
        case sqlite::SchemaState::Empty:
            if (m_readOnly)
                failOpen(
                    QStringLiteral("it holds no Pellorin tables, and it cannot be written to add them."));
            {
                // Set before the first table: large stored documents then move in a sixteenth of the
                // pages (and log frames) that the default size needs; existing files keep theirs.
                QSqlQuery pageSize(m_database);
                pageSize.exec(QStringLiteral("PRAGMA page_size=65536"));
            }
            break;
        }
        ensureSchema(*this);
        ensureWriteAheadLog();
    } catch (const AppError&) {
        close();
        throw;
    }
    return true;
}

// A file restored from a copy, or left by a program stopped while it wrote a large value straight into
// the file (data/directwrite.h), is in rollback mode, where a reader waits for a writer's commit; the
// write-ahead log lets readers read beside a writer. Not worth a long wait: the file works either way.
void Connection::ensureWriteAheadLog() {
    const ShortWaits briefly(2000);
    QSqlQuery query(m_database);
    if (query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next() &&
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
}

void Connection::closeKeptLog() {
    if (m_backend == Backend::SQLite && !m_file.isEmpty())
        closeKeeper(keptLogs().take(m_file), false);
}

void Connection::checkAgainOnNextOpen() {
    if (m_backend == Backend::SQLite && !m_file.isEmpty())
        forgetSchemaCheck(QFileInfo(m_file).absoluteFilePath());
}

void Connection::close() {
    if (!m_database.isValid())
        return;
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool Connection::isOpen() const {
    return m_database.isValid() && m_database.isOpen();
}

QString Connection::failure(const QString& what, const QString& cause) const {
    return QStringLiteral("%1 failed in the database %2: %3").arg(what, m_location, cause);
}

QString Connection::translate(const QString& jetSql) const {
    const QString sql = translateJet(jetSql, m_backend);
    // The whole-number columns that have indexes: a folder's documents are counted through them.
    static const QStringList numberColumns = {QStringLiteral("ObjectIndex"),
                                              QStringLiteral("ObjectParentIndex")};
    return m_backend == Backend::SQLite ? withCollation(sql, QLatin1String(TextCollationName), numberColumns)
                                        : sql;
}

Connection::Bound Connection::bindable(const QString& sql, const QVariantList& values) const {
    Bound bound{sql, values};
    if (m_backend != Backend::SQLite)
        return bound;
    QList<qsizetype> places;
    for (qsizetype i = 0; i < bound.values.size(); ++i) {
        QVariant& value = bound.values[i];
        if (value.typeId() == QMetaType::QString && value.toString().startsWith(QChar(0xFEFF))) {
            value = value.toString().toUtf8();
            places.append(i);
        }
    }
    bound.sql = replaceMarks(sql, places, QStringLiteral("CAST(? AS TEXT)"));
    return bound;
}

int Connection::execute(const QString& jetSql, const QVariantList& values) {
    if (!isOpen())
        throw AppError(
            QStringLiteral("The statement \"%1\" was run without an open database connection.").arg(jetSql));
    QSqlQuery query(m_database);
    QString sql = translate(jetSql);
    const bool returnsKey = m_backend == Backend::PostgreSQL && isInsert(jetSql);
    if (returnsKey)
        sql = withReturnedKey(sql, statementTable(jetSql));
    const Bound bound = bindable(sql, values);
    if (!query.prepare(bound.sql))
        throw AppError(
            failure(QStringLiteral("The statement \"%1\"").arg(jetSql), errorText(query.lastError())));
    for (const QVariant& value : bound.values)
        query.addBindValue(value);
    if (!query.exec())
        throw AppError(
            failure(QStringLiteral("The statement \"%1\"").arg(jetSql), errorText(query.lastError())));
    // Qt asks PostgreSQL for lastval() here, which fails, and spoils the transaction, after any statement
    // that drew no number; the key comes back through RETURNING instead.
    if (m_backend == Backend::PostgreSQL)
        m_lastInsertId = returnsKey && query.isSelect() && query.next() ? query.value(0) : QVariant();
    else
        m_lastInsertId = query.lastInsertId();
    return query.numRowsAffected();
}

void Connection::beginTransaction() {
    if (m_backend == Backend::SQLite) {
        QSqlQuery begin(m_database);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw AppError(failure(QStringLiteral("Starting a transaction"), errorText(begin.lastError())));
        return;
    }
    if (!m_database.transaction())
        throw AppError(failure(QStringLiteral("Starting a transaction"), errorText(m_database.lastError())));
}

void Connection::lockName(NameLock kind, const QString& name) {
    if (m_backend != Backend::PostgreSQL)
        return;
    // Coarser than the server's comparison (letter case, accents and compatibility forms dropped): names
    // it finds equal always share a lock, and the rare others that do only wait for each other.
    QString folded;
    for (const QChar c : name.normalized(QString::NormalizationForm_KD))
        if (c.category() != QChar::Mark_NonSpacing && c.category() != QChar::Mark_SpacingCombining &&
            c.category() != QChar::Mark_Enclosing)
            folded.append(c.toCaseFolded());
    QSqlQuery lock(m_database);
    bool ok = lock.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?, hashtext(?))"));
    if (ok) {
        lock.addBindValue(NameLockSpace + int(kind));
        lock.addBindValue(folded);
        ok = lock.exec();
    }
    if (!ok)
        throw AppError(failure(QStringLiteral("Waiting for other programs storing \"%1\"").arg(name),
                               errorText(lock.lastError())));
}

void Connection::commit() {
    if (!m_database.commit())
        throw AppError(failure(QStringLiteral("Saving the changes"), errorText(m_database.lastError())));
}

void Connection::rollback() {
    m_database.rollback();
}

} // namespace data
