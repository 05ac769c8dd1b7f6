// pellorin-mdb-reader: copies the tables of an Access file into a new SQLite file. The program and the
// companion run it as a separate process with a time limit, so a damaged file that crashes or hangs
// libmdb takes only this process down.
#include "app/apperror.h"
#include "data/legacy/mdbcopy.h"
#include "data/legacy/readerprotocol.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <sqlite3.h>

namespace {

// Every SQLite connection of this process skips flushing to disk: a failed import deletes the whole
// file, and the importer flushes the finished file itself before moving it into place. Set for the
// process because the data layer opens the new file (and writes its tables) on a connection of its own.
int writeWithoutFlushing(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    return SQLITE_OK;
}

void send(const QStringList& fields) {
    const QByteArray bytes = legacy::protocol::line(fields).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv); // Qt SQL finds its SQLite driver through it
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(writeWithoutFlushing));
    if (argc != 3) {
        std::fputs("Usage: pellorin-mdb-reader FILE.mdb NEW.db\n", stderr);
        return 2;
    }
    try {
        legacy::copyMdbToSqlite(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), send);
        return 0;
    } catch (const AppError& error) {
        send({legacy::protocol::Error, error.description()});
    } catch (const std::exception& error) {
        send({legacy::protocol::Error, QString::fromLocal8Bit(error.what())});
    }
    return 1;
}
