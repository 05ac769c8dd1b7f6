#include "data/legacy/mdbimport.h"

#include "app/apperror.h"
#include "data/legacy/readerprotocol.h"
#include "data/textcollation.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <memory>

namespace legacy {

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

const QStringList SideFiles = {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};

void removeWithSideFiles(const QString& path) {
    QFile::remove(path);
    for (const QString& suffix : SideFiles)
        QFile::remove(path + suffix);
}

const QString ImportingInfix = QStringLiteral(".importing-");

// A name beside the target that no file has and no other import uses.
QString uniqueTempPath(const QString& target) {
    for (;;) {
        const QString candidate =
            target + ImportingInfix + QString::number(QRandomGenerator::system()->generate64(), 36);
        if (!QFileInfo::exists(candidate) && !QFileInfo::exists(candidate + SideFiles[0]))
            return candidate;
    }
}

void removeLeftovers(const QString& target) {
    const QFileInfo info(target);
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList({info.fileName() + ImportingInfix + u'*'},
                                                QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(folder.filePath(name));
}

// True when another process holds a lock on part of the file. (Locks of this process are not
// reported, which is as wanted.)
bool lockedElsewhere(const QByteArray& file, off_t start, off_t length) {
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// Every connection to a database in write-ahead-log mode holds a shared lock on one byte of its -shm
// file for as long as it is open. A program writing a large value straight into the file has left the
// log for the rollback journal meanwhile, and holds SQLite's lock bytes of the file itself instead.
bool openElsewhere(const QString& dbPath) {
    constexpr off_t OpenConnectionsByte = 128;
    constexpr off_t LockBytes = 0x40000000; // SQLite's pending, reserved and shared lock bytes
    constexpr off_t LockByteCount = 512;
    return lockedElsewhere(QFile::encodeName(dbPath + SideFiles[1]), OpenConnectionsByte, 1) ||
           lockedElsewhere(QFile::encodeName(dbPath), LockBytes, LockByteCount);
}

void refuseWhileOpen(const QString& dbPath) {
    if (openElsewhere(dbPath))
        throw AppError(
            QStringLiteral("The database %1 is open in another program (Pellorin or pellorin-cli). "
                           "Close it there and import again; nothing was changed.")
                .arg(shown(dbPath)));
}

// A raw SQLite handle, closed on every path out.
struct SqliteHandle {
    sqlite3* db = nullptr;
    ~SqliteHandle() { sqlite3_close(db); }
    bool open(const QString& path, int flags) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr) != SQLITE_OK)
            return false;
        sqlite3_busy_timeout(db, 10'000);
        return data::registerTextCollation(db);
    }
    // The first column of the first row as text; nothing on failure.
    std::optional<QString> scalar(const QString& sql) const {
        sqlite3_stmt* statement = nullptr;
        std::optional<QString> result;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return result;
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

QString quotedName(QString name) {
    name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

struct ReaderReport {
    ImportSummary summary;
    std::vector<QStringList> longColumns; // per table in summary.tables
    QString error;
    bool ok = false;
};

void takeLine(const QString& line, ReaderReport& report, const ImportOptions& options, bool& cancelled) {
    const QStringList fields = line.split(QLatin1Char('\t'));
    const QString& kind = fields.first();
    if (kind == protocol::Progress && fields.size() == 2) {
        if (options.progress && !options.progress(qBound(0, fields[1].toInt(), 1000)))
            cancelled = true;
    } else if (kind == protocol::Format && fields.size() == 2) {
        report.summary.format = fields[1];
    } else if (kind == protocol::Skipped && fields.size() == 2) {
        report.summary.leftOut.append(fields[1]);
    } else if (kind == protocol::Absent && fields.size() == 2) {
        report.summary.absent.append(fields[1]);
    } else if (kind == protocol::Table && fields.size() >= 5) {
        report.summary.tables.push_back(
            {fields[1], fields[2].toLongLong(), fields[3].toLongLong(), fields[4].toLongLong()});
        report.longColumns.push_back(fields.mid(5));
    } else if (kind == protocol::Error && fields.size() >= 2) {
        report.error = fields.mid(1).join(QLatin1Char(' '));
    } else if (kind == protocol::Ok) {
        report.ok = true;
    }
}

ReaderReport runReader(const QString& mdbPath, const QString& tempPath, const ImportOptions& options) {
    QProcess reader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("MDBICONV")); // the reader expects libmdb's UTF-8 text
    reader.setProcessEnvironment(environment);
    reader.setProgram(readerProgram());
    reader.setArguments({mdbPath, tempPath});
    // libmdb warns on standard error about every odd page of a damaged file; unread, those warnings
    // would fill the pipe and stall the reader.
    reader.setStandardErrorFile(QProcess::nullDevice());
    reader.start(QIODevice::ReadOnly);
    if (!reader.waitForStarted(30'000))
        throw AppError(QStringLiteral("The Access reader %1 could not be started: %2. Reinstall Pellorin.")
                           .arg(shown(reader.program()), reader.errorString()));

    ReaderReport report;
    QByteArray pending;
    QElapsedTimer silence;
    silence.start();
    bool cancelled = false;
    bool silent = false;
    auto readLines = [&] {
        const QByteArray chunk = reader.readAllStandardOutput();
        if (chunk.isEmpty())
            return;
        silence.restart();
        pending += chunk;
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            takeLine(QString::fromUtf8(pending.left(end)), report, options, cancelled);
            pending.remove(0, end + 1);
        }
    };
    while (reader.state() != QProcess::NotRunning) {
        reader.waitForReadyRead(50);
        readLines();
        if (!cancelled && options.progress && !options.progress(-1))
            cancelled = true;
        if (!cancelled && silence.elapsed() > options.silenceLimitMs)
            silent = true;
        if (cancelled || silent) {
            reader.kill();
            reader.waitForFinished(10'000);
            break;
        }
    }
    reader.waitForFinished(10'000);
    readLines();
    if (cancelled)
        throw AppError(QStringLiteral("The import was cancelled; nothing was changed."));
    if (silent)
        throw AppError(
            QStringLiteral("Reading %1 stopped making progress and was ended after %2 seconds; the "
                           "file is probably damaged. Repair it with Access (Compact and Repair "
                           "Database) and import it again.")
                .arg(shown(mdbPath))
                .arg(options.silenceLimitMs / 1000.0));
    if (reader.exitStatus() == QProcess::CrashExit)
        throw AppError(
            QStringLiteral("Reading %1 failed: the Access reader stopped unexpectedly, which a damaged "
                           "file causes. Repair it with Access (Compact and Repair Database) and "
                           "import it again.")
                .arg(shown(mdbPath)));
    if (!report.error.isEmpty())
        throw AppError(report.error);
    if (reader.exitCode() != 0 || !report.ok)
        throw AppError(
            QStringLiteral("Reading %1 failed: the Access reader ended without finishing (status %2).")
                .arg(shown(mdbPath))
                .arg(reader.exitCode()));
    return report;
}

// Reads back what the reader wrote: the file is sound, and every table holds the rows and long-value
// bytes that the reader counted in the Access file.
void verify(const QString& tempPath, const ReaderReport& report) {
    SqliteHandle db;
    auto fail = [&](const QString& what) {
        throw AppError(
            QStringLiteral("The imported database did not check out (%1); nothing was changed.").arg(what));
    };
    // Read-write only so that closing it folds away the log files it opens; nothing is written.
    if (!db.open(tempPath, SQLITE_OPEN_READWRITE))
        fail(db.error());
    if (db.scalar(QStringLiteral("PRAGMA quick_check")) != QStringLiteral("ok"))
        fail(QStringLiteral("the file is not sound"));
    for (size_t t = 0; t < report.summary.tables.size(); ++t) {
        const ImportedTable& table = report.summary.tables[t];
        const auto rows = db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(quotedName(table.name)));
        if (!rows || rows->toLongLong() != table.rows)
            fail(QStringLiteral("%1 holds %2 rows instead of %3")
                     .arg(table.name, rows.value_or(QStringLiteral("no")))
                     .arg(table.rows));
        qint64 values = 0;
        qint64 bytes = 0;
        for (const QString& column : report.longColumns[t]) {
            const QString name = quotedName(column);
            values += db.scalar(QStringLiteral("SELECT count(%1) FROM %2").arg(name, quotedName(table.name)))
                          .value_or(QStringLiteral("-1"))
                          .toLongLong();
            bytes += db.scalar(QStringLiteral("SELECT coalesce(sum(length(%1)), 0) FROM %2")
                                   .arg(name, quotedName(table.name)))
                         .value_or(QStringLiteral("-1"))
                         .toLongLong();
        }
        if (values != table.longValues || bytes != table.longBytes)
            fail(QStringLiteral("the long values of %1 hold %2 bytes instead of %3")
                     .arg(table.name)
                     .arg(bytes)
                     .arg(table.longBytes));
    }
}

// Folds a database's write-ahead log back into the file, so the file alone holds all its rows.
void foldLog(const QString& dbPath) {
    SqliteHandle db;
    if (db.open(dbPath, SQLITE_OPEN_READWRITE))
        db.scalar(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

bool flushToDisk(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    return ::fsync(file.handle()) == 0;
}

QString backupPathFor(const QString& target) {
    const QFileInfo info(target);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate =
        info.dir().filePath(QStringLiteral("%1-before-import-%2.db").arg(info.completeBaseName(), stamp));
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = info.dir().filePath(
            QStringLiteral("%1-before-import-%2-%3.db").arg(info.completeBaseName(), stamp).arg(n));
    return candidate;
}

// Moves the checked file into place; the database it replaces is kept as a backup when it held rows.
QString putInPlace(const QString& tempPath, const QString& target, bool keepOld) {
    if (!flushToDisk(tempPath))
        throw AppError(
            QStringLiteral("The imported database %1 could not be written to disk; nothing was changed.")
                .arg(shown(tempPath)));
    QString backup;
    if (QFileInfo::exists(target)) {
        foldLog(target);
        if (keepOld) {
            backup = backupPathFor(target);
            if (!QFile::rename(target, backup))
                throw AppError(
                    QStringLiteral("The database %1 could not be moved aside to %2; nothing was changed. "
                                   "Check the folder's permissions.")
                        .arg(shown(target), shown(backup)));
            // A log left beside the old file belongs to it, never to the new one.
            if (QFileInfo::exists(target + SideFiles[0]))
                QFile::rename(target + SideFiles[0], backup + SideFiles[0]);
            QFile::remove(target + SideFiles[1]);
        } else {
            removeWithSideFiles(target);
        }
    }
    if (QFileInfo::exists(tempPath + SideFiles[0]) && QFileInfo(tempPath + SideFiles[0]).size() > 0)
        QFile::rename(tempPath + SideFiles[0], target + SideFiles[0]); // the log goes with its file
    if (!QFile::rename(tempPath, target)) {
        if (!backup.isEmpty()) {
            QFile::rename(backup, target);
            QFile::rename(backup + SideFiles[0], target + SideFiles[0]);
        }
        throw AppError(QStringLiteral("The imported database could not be moved to %1; nothing was changed. "
                                      "Check the folder's permissions.")
                           .arg(shown(target)));
    }
    return backup;
}

} // namespace

QString readerProgram() {
    const QString fromEnvironment = qEnvironmentVariable("PELLORIN_MDB_READER");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (QCoreApplication::instance()) {
        // Beside the program in a build or a portable folder; an installed program (bin/) finds it in
        // the helpers' folder of the same installation (libexec/pellorin/).
        const QDir programs(QCoreApplication::applicationDirPath());
        for (const QString& candidate : {QStringLiteral("pellorin-mdb-reader"),
                                         QStringLiteral("../libexec/pellorin/pellorin-mdb-reader")}) {
            const QString path = QDir::cleanPath(programs.filePath(candidate));
            if (QFileInfo(path).isExecutable())
                return path;
        }
    }
    return QStringLiteral(PELLORIN_MDB_READER_BUILT);
}

bool databaseHasRows(const QString& dbPath) {
    SqliteHandle db;
    if (!db.open(dbPath, SQLITE_OPEN_READONLY))
        return true; // not a database we can read: treat as precious
    const auto count = db.scalar(
        QStringLiteral("SELECT (SELECT count(*) FROM EmployeeTable) + (SELECT count(*) FROM Attachments) + "
                       "(SELECT count(*) FROM Resources) + (SELECT count(*) FROM ReferenceInfo) + "
                       "(SELECT count(*) FROM ObjectTbl WHERE ObjectType IS NOT 'Root')"));
    return !count || count->toLongLong() > 0;
}

ImportSummary importMdb(const QString& mdbPath, const QString& targetDb, const ImportOptions& options) {
    const QFileInfo source(mdbPath);
    if (!source.exists())
        throw AppError(QStringLiteral("The Access database %1 does not exist.").arg(shown(mdbPath)));
    if (!source.isFile() || !source.isReadable())
        throw AppError(QStringLiteral("The Access database %1 cannot be read. Check its permissions.")
                           .arg(shown(mdbPath)));
    const QFileInfo target(targetDb);
    if (!target.absoluteDir().exists())
        throw AppError(QStringLiteral("The folder %1 does not exist.").arg(shown(target.absolutePath())));

    // One import into a folder at a time; a second is refused rather than mixed with the first.
    QLockFile importLock(target.absoluteFilePath() + QStringLiteral(".import-lock"));
    if (!importLock.tryLock(0))
        throw AppError(
            QStringLiteral("Another import into %1 is running; wait until it has finished. Nothing "
                           "was changed.")
                .arg(shown(targetDb)));
    removeLeftovers(target.absoluteFilePath()); // of imports that were cut off: none runs now

    const bool targetHasRows = target.exists() && databaseHasRows(targetDb);
    if (targetHasRows && !options.replace)
        throw AppError(
            QStringLiteral("The database %1 already holds data; nothing was imported. Use --replace to "
                           "replace it (a backup copy of it is kept).")
                .arg(shown(targetDb)));
    refuseWhileOpen(target.absoluteFilePath());

    const QString tempPath = uniqueTempPath(target.absoluteFilePath());
    try {
        ReaderReport report = runReader(source.absoluteFilePath(), tempPath, options);
        verify(tempPath, report);
        // A program may have opened the database while the file was read.
        refuseWhileOpen(target.absoluteFilePath());
        report.summary.backup = putInPlace(tempPath, target.absoluteFilePath(), targetHasRows);
        removeWithSideFiles(tempPath);
        report.summary.source = source.absoluteFilePath();
        report.summary.target = target.absoluteFilePath();
        return report.summary;
    } catch (...) {
        removeWithSideFiles(tempPath);
        throw;
    }
}

QStringList summaryLines(const ImportSummary& summary) {
    QStringList lines;
    lines.append(
        QStringLiteral("Imported %1 (%2) into %3:")
            .arg(shown(summary.source),
                 summary.format == QLatin1String("Jet3") ? QStringLiteral("Jet 3") : QStringLiteral("Jet 4"),
                 shown(summary.target)));
    for (const ImportedTable& table : summary.tables) {
        QString line = QStringLiteral("  %1: %2 rows").arg(table.name).arg(table.rows);
        if (table.longValues > 0)
            line += QStringLiteral(", %1 long values, %2 bytes").arg(table.longValues).arg(table.longBytes);
        lines.append(line);
    }
    if (!summary.absent.isEmpty())
        lines.append(QStringLiteral("Not in the file (left empty): %1")
                         .arg(summary.absent.join(QStringLiteral(", "))));
    if (!summary.leftOut.isEmpty())
        lines.append(QStringLiteral("Left out (tables Pellorin does not use): %1")
                         .arg(summary.leftOut.join(QStringLiteral(", "))));
    if (!summary.backup.isEmpty())
        lines.append(QStringLiteral("The previous database was kept as %1").arg(shown(summary.backup)));
    return lines;
}

} // namespace legacy
