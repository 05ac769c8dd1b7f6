// Importing the sample Access database (a new database file, checked and moved into place) against
// exporting the same five tables with mdb-export (long values included) in the same run. Both start
// processes of their own: the import one reader, mdb-export one per table.
#include "app/apperror.h"
#include "data/legacy/mdbimport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 21;
constexpr double Target = 2.0;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString fixtures = qEnvironmentVariable("PELLORIN_FIXTURES", QStringLiteral(PELLORIN_FIXTURES_DIR));
    const QString sample = QDir(fixtures).filePath(QStringLiteral("mdb/Sample.mdb"));
    const QString mdbExport = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (!QFile::exists(sample) || mdbExport.isEmpty()) {
        std::printf("bench_import: skipped (needs %s and mdb-export from mdbtools)\n", qPrintable(sample));
        return 0;
    }
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Pellorin.db"));
    const QStringList tables = {QStringLiteral("EmployeeTable"), QStringLiteral("Attachments"),
                                QStringLiteral("ObjectTbl"), QStringLiteral("Resources"),
                                QStringLiteral("ReferenceInfo")};
    std::vector<double> imports;
    std::vector<double> exports;
    qint64 exportedBytes = 0;
    try {
        for (int round = 0; round < Rounds; ++round) {
            QFile::remove(target);
            QElapsedTimer clock;
            clock.start();
            legacy::importMdb(sample, target);
            imports.push_back(millisecondsSince(clock));

            clock.restart();
            exportedBytes = 0;
            for (const QString& table : tables) {
                QProcess exporter;
                exporter.start(mdbExport, {QStringLiteral("-b"), QStringLiteral("raw"), sample, table});
                exporter.waitForFinished(-1);
                exportedBytes += exporter.readAllStandardOutput().size();
            }
            exports.push_back(millisecondsSince(clock));
        }
    } catch (const AppError& error) {
        std::fprintf(stderr, "bench_import: %s\n", qPrintable(error.description()));
        return 1;
    }
    const double ours = median(imports);
    const double theirs = median(exports);
    std::printf("Sample.mdb (%lld bytes), median of %d rounds:\n", QFile(sample).size(), Rounds);
    std::printf("  import into a checked new database   %8.2f ms\n", ours);
    std::printf("  mdb-export of the five tables         %8.2f ms (%lld bytes of CSV)\n", theirs,
                exportedBytes);
    std::printf("  ratio %.2f (target <= %.1f)\n", ours / theirs, Target);
    return 0;
}
