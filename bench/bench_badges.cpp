// How long printing a batch of badges takes: 1,000 badges written to one PDF file, one page each, as a
// print run would send them to a printer. Without photographs, with one photograph shared by every
// badge (the PDF keeps it once), and with a photograph of its own on every badge (the real case), once
// smooth like the sample photographs and once as detailed as a camera picture. For the detailed ones the
// file is compared with the photographs' own bytes, as stored: JPEG files of quality 90.
// Then 5,000 badges on a sheet layout and on a card layout with 12-megapixel photographs (4000x3000 JPEG,
// as a phone takes them), loaded badge by badge at the printed size, with the peak memory of each run:
// it must stay flat however many badges a run holds.
#include "badges/badgeprinting.h"
#include "badges/layoutcatalogue.h"
#include "employees/photofile.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include <cstdio>
#include <functional>

using namespace bench;

namespace {

constexpr int BadgeCount = 1000;

// Camera pictures are full of fine detail that lossless compression cannot squeeze; the sample
// photographs are smooth and would make the files look smaller than they get.
QImage detailedPhoto(int seed) {
    QImage photo(300, 400, QImage::Format_RGB32);
    quint32 state = 2463534242u + quint32(seed);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state % 48);
            photo.setPixel(x, y, qRgb((x / 2 + noise) % 256, (y / 2 + noise) % 256, (128 + noise) % 256));
        }
    return photo;
}

QImage samplePhoto() {
    // The shared fixtures sit beside the source tree unless the environment says otherwise.
    const QString fixtures =
        qEnvironmentVariable("PELLORIN_FIXTURES", QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                                                      QStringLiteral("/../../shared/fixtures"));
    QImage photo(fixtures + QStringLiteral("/mdb/sample-photos/photo2.jpg"));
    if (!photo.isNull())
        return photo;
    // A stand-in of the same size, with detail that does not compress away.
    return detailedPhoto(0);
}

QList<badges::Badge> badgeBatch(const std::function<QImage(int)>& photoFor) {
    QList<badges::Badge> list;
    list.reserve(BadgeCount);
    for (int i = 0; i < BadgeCount; ++i)
        list.append(badges::Badge{
            QStringLiteral("Acme Security"),
            badges::badgeName(QStringLiteral("Jane"), QStringLiteral("Q"), QStringLiteral("Doe %1").arg(i)),
            QStringLiteral("Security Officer"),
            QStringLiteral("EMP-%1").arg(i, 4, 10, QChar(u'0')),
            photoFor(i),
            {},
            QDate(),
            {}});
    return list;
}

// The picture as the database holds it (a JPEG file) and as a badge gets it (decoded from that file).
struct StoredPhoto {
    QByteArray bytes;
    QImage picture;
};

StoredPhoto stored(const QImage& photo) {
    StoredPhoto result;
    QBuffer buffer(&result.bytes);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPEG", 90);
    result.picture = QImage::fromData(result.bytes, "JPEG");
    return result;
}

double run(const char* what, const QList<badges::Badge>& list, const QString& path) {
    QElapsedTimer timer;
    timer.start();
    badges::writeBadgesPdf(path, list);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const double megabytes = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("%-44s %5d badges  %8.0f ms  %6.2f ms/badge  %8.1f MB\n", what, int(list.size()), ms,
                ms / double(list.size()), megabytes);
    std::fflush(stdout);
    return megabytes;
}

// A phone's photograph: 4000x3000, smooth shading with a little grain, as JPEG of quality 90.
QString cameraPhoto(const QString& folder, int seed) {
    QImage photo(4000, 3000, QImage::Format_RGB32);
    quint32 state = 2463534242u + quint32(seed);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int grain = int(state % 12);
            line[x] = qRgb((x / 16 + seed * 40 + grain) % 256, (y / 12 + grain) % 256,
                           (x / 24 + y / 24 + grain) % 256);
        }
    }
    const QString path = folder + QStringLiteral("/camera-%1.jpg").arg(seed);
    photo.save(path, "JPEG", 90);
    return path;
}

// 5,000 badges whose photographs are read from the files as a print run reads them from the database:
// only when the badge is painted, decoded at the printed size.
void cameraRun(const QString& layout, const QStringList& photos, qint64 photoBytes, int count,
               const QString& path) {
    QList<badges::Badge> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        badges::Badge badge{
            QStringLiteral("Acme Security"),
            badges::badgeName(QStringLiteral("Jane"), QStringLiteral("Q"), QStringLiteral("Doe %1").arg(i)),
            QStringLiteral("Security Officer"),
            QStringLiteral("EMP-%1").arg(i, 5, 10, QChar(u'0')),
            QImage(),
            {},
            QDate(),
            {}};
        const QString file = photos.at(i % photos.size());
        badge.photoSource = [file](const QSize& bound) { return loadPicture(file, bound, nullptr); };
        list.append(badge);
    }
    badges::PrintOptions options;
    options.layout = badges::findLayout(layout);
    const double idle = statusMegabytes("VmRSS:");
    resetPeakMemory();
    QElapsedTimer timer;
    timer.start();
    badges::writeBadgesPdf(path, list, options);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const double peak = statusMegabytes("VmHWM:");
    const double fileBytes = double(QFileInfo(path).size());
    const double photoTotal = double(photoBytes) / photos.size() * count;
    std::printf("%-15s %5d badges, 12 MP photos  %6.2f ms/badge  PDF %7.1f MB = %.4f bytes per photo byte  "
                "peak memory %.0f MB (%.0f MB at the start; target < 300 MB) %s\n",
                qPrintable(layout), count, ms / count, fileBytes / (1024.0 * 1024.0), fileBytes / photoTotal,
                peak, idle, peak < 300 ? "ok" : "TOO HIGH");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("badges.pdf"));
    // First, while nothing else has been held: the peak is measured against what the process holds now.
    const int count = qEnvironmentVariableIsSet("PELLORIN_BENCH_BADGES")
                          ? qEnvironmentVariableIntValue("PELLORIN_BENCH_BADGES")
                          : 5000;
    QStringList photos;
    qint64 cameraBytes = 0;
    for (int seed = 0; seed < 6; ++seed) {
        photos.append(cameraPhoto(dir.path(), seed));
        cameraBytes += QFileInfo(photos.last()).size();
    }
    std::printf("\n12-megapixel photographs: %.1f MB each as JPEG, %.0f MB each decoded whole\n",
                double(cameraBytes) / photos.size() / (1024.0 * 1024.0),
                4000.0 * 3000 * 4 / (1024.0 * 1024.0));
    cameraRun(QStringLiteral("a4-10"), photos, cameraBytes, count, path);
    cameraRun(QStringLiteral("card-landscape"), photos, cameraBytes, count, path);

    const QImage photo = samplePhoto();
    std::printf("Badges to one PDF file (%dx%d photograph)\n", photo.width(), photo.height());

    run("no photographs", badgeBatch([](int) { return QImage(); }), path);
    run("one photograph shared by all badges", badgeBatch([&photo](int) { return photo; }), path);
    // A pixel changed per badge makes every picture distinct, as real employees' photographs are.
    run("a photograph of its own on every badge", badgeBatch([&photo](int i) {
            QImage own = photo.copy();
            own.setPixel(i % own.width(), 0, qRgb(i % 256, 0, 0));
            return own;
        }),
        path);
    qint64 photoBytes = 0;
    const double fileMegabytes =
        run("a detailed 300x400 photograph on every badge", badgeBatch([&photoBytes](int i) {
                const StoredPhoto photo = stored(detailedPhoto(i));
                photoBytes += photo.bytes.size();
                return photo.picture;
            }),
            path);
    const double photoMegabytes = double(photoBytes) / (1024.0 * 1024.0);
    std::printf("the photographs' own bytes (JPEG, quality 90): %.1f MB; file / photographs = %.2f "
                "(target <= 2)\n",
                photoMegabytes, fileMegabytes / photoMegabytes);

    return 0;
}
