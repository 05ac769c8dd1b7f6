// Large stored files as offices have them: three versioned uploads of one file of 300 MB under one
// name, and a search of the document library that holds one such document. Peak memory above idle
// next to the time, against cp followed by sync (uploads) and grep -c (search) in the same run, and the
// log each step leaves beside the database. Usage: bench_largefiles [--megabytes N] (default 300).
#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "data/recordset.h"
#include "library/documents.h"
#include "transfer/clsbinaryfunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace bench;

namespace {

constexpr double MemoryTargetMb = 64.0;
constexpr double LogTargetMb = 64.0;

// Random bytes with a word near the end, so a search has to read all of it.
bool writeDocument(const QString& path, qint64 megabytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray piece(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(300);
    for (qint64 i = 0; i < megabytes; ++i) {
        random.fillRange(reinterpret_cast<quint32*>(piece.data()), piece.size() / qsizetype(sizeof(quint32)));
        for (char& byte : piece)
            byte = char('a' + (quint8(byte) % 26)); // text, so that grep reads it as text too
        if (file.write(piece) != piece.size())
            return false;
    }
    return file.write(" quarterly ") == 11;
}

double logMegabytes(const QString& appDir) {
    return double(QFileInfo(QDir(appDir).filePath(AppFacts::databaseFileName() + QStringLiteral("-wal")))
                      .size()) /
           (1024 * 1024);
}

const char* verdict(bool ok) {
    return ok ? "ok" : "ABOVE TARGET";
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qint64 megabytes = megabytesArgument(QCoreApplication::arguments(), 300);
    QTemporaryDir appDir;
    QTemporaryDir sourceDir;
    if (!appDir.isValid() || !sourceDir.isValid())
        return 1;
    AppFacts::setApplicationDirectory(appDir.path());
    const QString source = QDir(sourceDir.path()).filePath(QStringLiteral("minutes.txt"));
    const QString copy = QDir(sourceDir.path()).filePath(QStringLiteral("copy.txt"));
    if (!writeDocument(source, megabytes)) {
        std::fprintf(stderr, "bench_largefiles: could not write %s\n", qPrintable(source));
        return 1;
    }
    try {
        AppFacts::ensureApplicationDirectory();
        {
            data::Connection first;
            first.open();
        }
        std::printf("%lld MB file\n", megabytes);
        // Each upload counts the versions stored before it: the third finds two of 300 MB.
        for (int round = 1; round <= 3; ++round) {
            double took = 0;
            const double peak = peakAbove([&] {
                took = timed([&] {
                    data::Connection connection;
                    connection.open();
                    data::Recordset rows;
                    rows.open(QStringLiteral("select * from Attachments"), connection);
                    ClsBinaryFunctions transfer;
                    if (!transfer.UpLoadBinary(QStringLiteral("minutes.txt"), source, rows, true,
                                               QStringLiteral("P1"), QString()))
                        throw AppError(transfer.lastError());
                });
            });
            QFile::remove(copy);
            const double baseline = timed([&] {
                QProcess::execute(QStringLiteral("cp"), {source, copy});
                QProcess::execute(QStringLiteral("sync"), {copy});
            });
            std::printf(
                "  versioned upload %d: %8.0f ms, cp and sync %8.0f ms, ratio %.2f; peak memory %.1f MB "
                "(target < %.0f) %s; log left %.1f MB %s\n",
                round, took, baseline, took / baseline, peak, MemoryTargetMb, verdict(peak < MemoryTargetMb),
                logMegabytes(appDir.path()), verdict(logMegabytes(appDir.path()) <= LogTargetMb));
        }

        const qint64 folder = 1;
        library::uploadDocument(folder, source);
        // The statement and columns of "library search".
        ClsBinaryFunctions search;
        search.Text2Text = QStringLiteral("Quarterly");
        int found = 0;
        double took = 0;
        const double peak = peakAbove([&] {
            took = timed([&] {
                found =
                    int(search
                            .searchStored(QStringLiteral("SELECT DocumentId, DocumentName, DocuemntVersion, "
                                                         "Document FROM Resources ORDER BY DocumentId"),
                                          {QStringLiteral("DocumentId"), QStringLiteral("DocumentName"),
                                           QStringLiteral("DocuemntVersion"), QStringLiteral("Document")})
                            .rows.size());
            });
        });
        const double grep = timed([&] {
            QProcess counting;
            // One line of 300 MB: letter case in a multi-byte locale would make grep crawl.
            QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
            plain.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
            counting.setProcessEnvironment(plain);
            counting.start(QStringLiteral("grep"),
                           {QStringLiteral("-ciF"), QStringLiteral("quarterly"), source});
            counting.waitForFinished(-1);
        });
        std::printf(
            "  library search of one document: %8.0f ms (found in %d), grep -ciF %8.0f ms, ratio %.2f; "
            "peak memory %.1f MB (target < %.0f) %s\n",
            took, found, grep, took / grep, peak, MemoryTargetMb, verdict(peak < MemoryTargetMb));
    } catch (const AppError& error) {
        std::fprintf(stderr, "bench_largefiles: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
