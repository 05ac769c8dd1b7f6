// Importing a staff of 5,000 employees with 5,000 photographs of about 100 KB each: the whole import
// (reading the list, checking every row and decoding every photograph, then storing them in one
// transaction) against the sqlite3 shell importing the same CSV and inserting the same photo files with
// readfile() in one transaction, in the same run. Our import runs in a child process so that its peak
// memory is its own.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "employees/employeeimport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include <cstdio>

using namespace bench;

namespace {

constexpr int Employees = 5000;
constexpr int Variants = 16; // distinct pictures, each written under many names
constexpr double TimeTarget = 3.0;
constexpr double MemoryTargetMb = 200;

QString code(int i) {
    return QStringLiteral("E-%1").arg(i, 5, 10, QLatin1Char('0'));
}

// Noise compresses badly, as a photograph's detail does: a 440 by 330 picture gives about 100 KB.
QByteArray noisePhoto(int seed) {
    QImage image(440, 330, QImage::Format_RGB32);
    QRandomGenerator random{quint32(seed)};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return bytes;
}

qint64 build(const QString& folder) {
    QDir().mkpath(folder + QStringLiteral("/photos"));
    QFile csv(folder + QStringLiteral("/staff.csv"));
    csv.open(QIODevice::WriteOnly);
    csv.write("First name,Last name,Employee No\n");
    QList<QByteArray> photos;
    for (int v = 0; v < Variants; ++v)
        photos.append(noisePhoto(v));
    qint64 total = 0;
    for (int i = 1; i <= Employees; ++i) {
        csv.write(QStringLiteral("First%1,Last%1,%2\n").arg(i).arg(code(i)).toUtf8());
        QFile photo(folder + QStringLiteral("/photos/") + code(i) + QStringLiteral(".jpg"));
        const QByteArray& bytes = photos.at(i % Variants);
        if (!photo.open(QIODevice::WriteOnly) || photo.write(bytes) != bytes.size())
            throw AppError(QStringLiteral("could not write %1").arg(photo.fileName()));
        total += bytes.size();
    }
    return total;
}

// The sqlite3 shell doing the same storing, nothing checked.
double shellImport(const QString& folder, const QString& database) {
    const QString script = QStringLiteral(
        "PRAGMA journal_mode=WAL;\n"
        "CREATE TABLE EmployeeTable (EmployeeId INTEGER PRIMARY KEY, EmployeeFirstName TEXT, "
        "EmployeeMiddleName TEXT, EmployeeLastName TEXT, Title TEXT, EmployeeIdentification TEXT);\n"
        "CREATE TABLE Attachments (AttachmentsId INTEGER PRIMARY KEY, EmployeeIdentification TEXT, "
        "Attachments BLOB);\n"
        "CREATE TEMP TABLE Staging (first TEXT, last TEXT, code TEXT);\n"
        "BEGIN;\n"
        ".import --csv --skip 1 staff.csv Staging\n"
        "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
        "EmployeeIdentification) SELECT first, '', last, '', code FROM Staging;\n"
        "INSERT INTO Attachments (EmployeeIdentification, Attachments) "
        "SELECT code, readfile('photos/' || code || '.jpg') FROM Staging;\n"
        "COMMIT;\n");
    QProcess shell;
    shell.setWorkingDirectory(folder);
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {database});
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
        throw AppError(QStringLiteral("the sqlite3 shell failed; is it installed?"));
    return ms;
}

// Child process: prints the time of the import, the memory at rest and the peak.
int importInChild(const QString& folder, const QString& appDir) {
    AppFacts::setApplicationDirectory(appDir);
    data::Connection connection;
    connection.open();
    const qint64 idle = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    employees::ImportOptions options;
    options.photoFolder = folder + QStringLiteral("/photos");
    const employees::SheetTable table = employees::readSheetTable(folder + QStringLiteral("/staff.csv"));
    const auto plan =
        employees::planImport(table, employees::checkedMapping(table.headings), options, connection);
    const double checkMs = double(timer.nsecsElapsed()) / 1e6;
    const employees::ImportResult result = employees::runImport(connection, *plan, options);
    std::fprintf(stderr, "ours, by phase: check %.0f ms, store %.0f ms\n", checkMs,
                 double(timer.nsecsElapsed()) / 1e6 - checkMs);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%.1f %lld %lld %d %d\n", ms, idle, statusKb("VmHWM:"), result.added, result.photos);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 4 && args.at(1) == QLatin1String("--import"))
            return importInChild(args.at(2), args.at(3));
        QTemporaryDir files;
        const qint64 bytes = build(files.path());
        std::printf("corpus: %d employees, %d photographs, %.0f MB\n", Employees, Employees,
                    double(bytes) / (1024 * 1024));
        double best = 0;
        double shellBest = 0;
        double idleMb = 0;
        double peakMb = 0;
        for (int round = 0; round < qEnvironmentVariableIntValue("BENCH_ROUNDS") + 1; ++round) {
            QTemporaryDir appDir;
            QProcess child;
            child.start(app.applicationFilePath(), {QStringLiteral("--import"), files.path(), appDir.path()});
            child.waitForFinished(-1);
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            std::printf("%s", child.readAllStandardError().constData());
            if (figures.size() != 5 || figures.at(3).toInt() != Employees ||
                figures.at(4).toInt() != Employees)
                throw AppError(QStringLiteral("the import did not store every employee: %1")
                                   .arg(QString::fromUtf8(child.readAllStandardError())));
            const double ms = figures.at(0).toDouble();
            best = round == 0 ? ms : std::min(best, ms);
            idleMb = figures.at(1).toDouble() / 1024;
            peakMb = std::max(peakMb, figures.at(2).toDouble() / 1024);
            QTemporaryDir shellDir;
            const double shellMs = shellImport(files.path(), shellDir.filePath(QStringLiteral("shell.db")));
            shellBest = round == 0 ? shellMs : std::min(shellBest, shellMs);
        }
        const double ratio = best / shellBest;
        std::printf("ours (read, check, decode every photograph, store in one transaction): %8.0f ms\n",
                    best);
        std::printf("sqlite3 shell (.import and readfile() in one transaction):              %8.0f ms\n",
                    shellBest);
        std::printf("ratio ours / shell: %.2f (target <= %.1f) %s\n", ratio, TimeTarget,
                    ratio <= TimeTarget ? "ok" : "MISSED");
        std::printf(
            "peak memory of our import: %.1f MB (idle %.1f MB, %.1f MB above idle; target < %.0f MB) %s\n",
            peakMb, idleMb, peakMb - idleMb, MemoryTargetMb, peakMb < MemoryTargetMb ? "ok" : "MISSED");
        return 0;
    } catch (const AppError& error) {
        std::fprintf(stderr, "bench_import_employees: %s\n", qPrintable(error.description()));
        return 1;
    }
}
