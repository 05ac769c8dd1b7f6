// Storing and fetching a 5 MB photograph through the database, against copying the same file twice on
// disk in the same run. Each round trip opens its own connections, as the editor and the badge window
// do. The photograph's bytes are random: storing never decodes them, and random bytes defeat any
// compression along the way.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "employees/photostore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qsizetype PhotoSize = 5 * 1024 * 1024;
constexpr int Rounds = 15;
constexpr double Target = 3.0;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

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
    std::printf("  ratio: %.2f (target <= %.1f) %s\n", ratio, Target,
                ratio <= Target ? "ok" : "ABOVE TARGET");
    return 0;
}
