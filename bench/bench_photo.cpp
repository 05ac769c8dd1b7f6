// Storing and fetching a 5 MB photograph through the database, against copying the same file twice on
// disk in the same run; and finding one photograph among 5,000 by its code. Each round trip opens its own
// connections, as the editor and the badge window do. The photograph's bytes are random: storing never
// decodes them, and random bytes defeat any compression along the way.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "employees/photostore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace bench;

namespace {

constexpr qsizetype PhotoSize = 5 * 1024 * 1024;
constexpr int Rounds = 15;
constexpr double Target = 3.0;

bool writeRandomFile(const QString& path, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(2008);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / qsizetype(sizeof(quint32)));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == size;
}

double millisecondsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

constexpr int StoredPhotos = 5000;
constexpr qsizetype StoredPhotoSize = 90 * 1024;
constexpr int Lookups = 40;
constexpr double LookupTargetMb = 2.0;

// The photograph of one code among 5,000 stored ones, each lookup on a connection of its own as the
// badge window makes it, against fetching the same row by its key: what the lookup reads is what counts.
int benchLookup() {
    QByteArray bytes(StoredPhotoSize, Qt::Uninitialized);
    QRandomGenerator random(1999);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / qsizetype(sizeof(quint32)));
    std::vector<qint64> keys;
    {
        data::Connection connection;
        connection.open();
        connection.beginTransaction();
        QSqlQuery insert(connection.database());
        insert.prepare(
            QStringLiteral("INSERT INTO Attachments (EmployeeIdentification, Attachments) VALUES (?, ?)"));
        for (int i = 0; i < StoredPhotos; ++i) {
            insert.addBindValue(QStringLiteral("B%1").arg(i, 4, 10, QChar(u'0')));
            insert.addBindValue(bytes);
            insert.exec();
            keys.push_back(insert.lastInsertId().toLongLong());
        }
        connection.commit();
    }
    std::vector<double> lookups, byKey;
    double lookupRead = 0;
    for (int i = 0; i < Lookups; ++i) {
        const int photo = (i * 997) % StoredPhotos;
        const double before = double(procField("io", "rchar:"));
        QElapsedTimer timer;
        timer.start();
        if (!employees::fetchPhoto(QStringLiteral("b%1").arg(photo, 4, 10, QChar(u'0')))) {
            std::fprintf(stderr, "bench_photo: photograph %d was not found\n", photo);
            return 1;
        }
        lookups.push_back(millisecondsSince(timer));
        lookupRead += double(procField("io", "rchar:")) - before;
        timer.restart();
        data::Connection connection;
        connection.open();
        QSqlQuery row(connection.database());
        row.prepare(QStringLiteral("SELECT Attachments FROM Attachments WHERE AttachmentsId = ?"));
        row.addBindValue(keys.at(size_t(photo)));
        if (!row.exec() || !row.next() || row.value(0).toByteArray().size() != StoredPhotoSize)
            return 1;
        byKey.push_back(millisecondsSince(timer));
    }
    const double readMb = lookupRead / Lookups / (1024 * 1024);
    std::printf("photo lookup by code among %d photographs of %lld KB (%d lookups, medians)\n", StoredPhotos,
                StoredPhotoSize / 1024, Lookups);
    std::printf("  lookup by code, written to temp/:   %8.2f ms\n", median(lookups));
    std::printf("  the same row read by its key:       %8.2f ms\n", median(byKey));
    std::printf("  ratio: %.2f\n", median(lookups) / median(byKey));
    std::printf("  read per lookup: %.2f MB (target < %.0f MB) %s\n", readMb, LookupTargetMb,
                readMb < LookupTargetMb ? "ok" : "ABOVE TARGET");
    std::printf("  peak memory: %.1f MB\n", statusMegabytes("VmHWM:"));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir appDir;
    QTemporaryDir sourceDir;
    if (!appDir.isValid() || !sourceDir.isValid()) {
        std::fprintf(stderr, "bench_photo: could not create temporary folders\n");
        return 1;
    }
    AppFacts::setApplicationDirectory(appDir.path());
    const QString photo = QDir(sourceDir.path()).filePath(QStringLiteral("photo.jpg"));
    const QString copyA = QDir(sourceDir.path()).filePath(QStringLiteral("copy-a.jpg"));
    const QString copyB = QDir(sourceDir.path()).filePath(QStringLiteral("copy-b.jpg"));
    if (!writeRandomFile(photo, PhotoSize)) {
        std::fprintf(stderr, "bench_photo: could not write %s\n", qPrintable(photo));
        return 1;
    }

    std::vector<double> database;
    std::vector<double> copies;
    try {
        AppFacts::ensureApplicationDirectory();
        // The first open creates the database; the program pays that once per installation.
        employees::savePhoto(photo, QStringLiteral("warm-up"));
        employees::fetchPhoto(QStringLiteral("warm-up"));
        for (int round = 0; round < Rounds; ++round) {
            const QString code = QStringLiteral("E%1").arg(round);
            QElapsedTimer timer;
            timer.start();
            employees::savePhoto(photo, code);
            if (!employees::fetchPhoto(code)) {
                std::fprintf(stderr, "bench_photo: the photograph of %s was not found again\n",
                             qPrintable(code));
                return 1;
            }
            database.push_back(millisecondsSince(timer));

            QFile::remove(copyA);
            QFile::remove(copyB);
            timer.restart();
            if (!QFile::copy(photo, copyA) || !QFile::copy(photo, copyB)) {
                std::fprintf(stderr, "bench_photo: copying %s failed\n", qPrintable(photo));
                return 1;
            }
            copies.push_back(millisecondsSince(timer));
        }
    } catch (const AppError& error) {
        std::fprintf(stderr, "bench_photo: %s\n", qPrintable(error.description()));
        return 1;
    }

    const double databaseMedian = median(database);
    const double copyMedian = median(copies);
    const double ratio = databaseMedian / copyMedian;
    std::printf("photo round trip (5 MB, %d rounds, medians)\n", Rounds);
    std::printf("  store + fetch through the database: %8.2f ms\n", databaseMedian);
    std::printf("  two file copies (baseline):         %8.2f ms\n", copyMedian);
    std::printf("  ratio: %.2f (target <= %.1f) %s\n\n", ratio, Target,
                ratio <= Target ? "ok" : "ABOVE TARGET");
    try {
        return benchLookup();
    } catch (const AppError& error) {
        std::fprintf(stderr, "bench_photo: %s\n", qPrintable(error.description()));
        return 1;
    }
}
