// Takes over the Pellorin.mdb of an existing installation: runs the reader process on it with a time
// limit, checks the database it wrote (rows and long-value bytes against what the reader counted in
// the file) and only then moves it into place. A failure leaves the application folder as it was. The
// Access file is only ever read. No dialogs: callers show progress and messages.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace legacy {

struct ImportedTable {
    QString name;
    qint64 rows = 0;
    qint64 longValues = 0;
    qint64 longBytes = 0;
};

struct ImportSummary {
    QString source;
    QString target;
    QString backup; // where the replaced database went; empty when there was none
    QString format; // "Jet3" or "Jet4"
    std::vector<ImportedTable> tables;
    QStringList leftOut; // tables of the file that the program does not know
    QStringList absent;  // tables of the program that the file does not hold
};

struct ImportOptions {
    // Replace a target database that already holds rows (it is kept as a backup copy).
    bool replace = false;
    // The reader is ended when it has said nothing for this long.
    int silenceLimitMs = 30'000;
    // Called with 0..1000 as the reading advances, and with -1 between messages so a window can keep
    // drawing; returning false cancels the import.
    std::function<bool(int permille)> progress;
};

// Imports the Access file into targetDb. Throws AppError saying what failed and what to do.
ImportSummary importMdb(const QString& mdbPath, const QString& targetDb, const ImportOptions& options = {});

// True when the database file holds rows other than the folder tree's root row.
bool databaseHasRows(const QString& dbPath);

// The reader program: PELLORIN_MDB_READER, else next to the running program, else the build's copy.
QString readerProgram();

// Lines for the operator: rows per table, long values and their bytes, tables left out, the backup.
QStringList summaryLines(const ImportSummary& summary);

} // namespace legacy
