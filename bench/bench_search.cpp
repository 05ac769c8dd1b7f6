// Searching 200 MB of stored files (a few hundred values, text and binary mixed) for a word that some
// of them hold. Three ways in the same run: ours, reading each value straight from the database in
// pieces; grep -ciF over the same bytes as files on disk (the baseline); and the old way, exporting
// each value to temp/Search, reading it back one byte per read and deleting it (for reference). The
// peak memory of our search is measured in a child process that does nothing else.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/windows1252.h"
#include "data/connection.h"
#include "data/longvalue.h"
#include "data/recordset.h"
#include "transfer/clsbinaryfunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace bench;

namespace {

constexpr qint64 TotalBytes = 200LL * 1024 * 1024;
constexpr int Rounds = 3;
constexpr double Target = 2.0;
constexpr double MemoryTargetMb = 64.0;
const QString Word = QStringLiteral("Kilimanjaro");
const QString Statement = QStringLiteral("SELECT * FROM Attachments");

double millisecondsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Prose-like text with accented words in UTF-8 or Windows-1252; every fifth text holds the word.
QByteArray makeText(qint64 size, QRandomGenerator& random, bool holdsWord, bool ansi) {
    static const QStringList words = {"the",    "invoice", "of",       "Müller", "delivery", "and",
                                      "Zürich", "payment", "contract", "für",    "Straße",   "order",
                                      "kilo",   "manjar",  "Kilim",    "jaro",   "résumé",   "employee"};
    QString text;
    text.reserve(size);
    while (text.size() < size) {
        text += words.at(random.bounded(int(words.size())));
        text += random.bounded(12) == 0 ? QStringLiteral(".\r\n") : QStringLiteral(" ");
    }
    text.truncate(size);
    if (holdsWord)
        text.replace(random.bounded(int(size - Word.size())), Word.size(),
                     random.bounded(2) ? Word.toUpper() : Word);
    return ansi ? app::toWindows1252(text).value_or(text.toLatin1()) : text.toUtf8();
}

QByteArray makeBinary(qint64 size, QRandomGenerator& random) {
    QByteArray bytes(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / qint64(sizeof(quint32)));
    return bytes;
}

struct Corpus {
    QStringList files;
    int holdingWord = 0;
};

// Writes the values as files and stores each one as a row.
Corpus build(const QString& filesDir) {
    Corpus corpus;
    QRandomGenerator random(2008);
    data::Connection connection;
    connection.open();
    qint64 total = 0;
    for (int i = 0; total < TotalBytes; ++i) {
        // Two large values show that memory stays flat; the rest are ordinary documents.
        const qint64 size =
            std::min<qint64>(TotalBytes - total, i < 2 ? 20LL << 20 : random.bounded(50 << 10, 1200 << 10));
        const bool text = i % 2 == 0;
        const bool holdsWord = text && i % 5 == 0;
        const QByteArray bytes =
            text ? makeText(size, random, holdsWord, i % 4 == 0) : makeBinary(size, random);
        const QString path =
            QDir(filesDir).filePath(QStringLiteral("f%1.%2").arg(i).arg(text ? "txt" : "bin"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw AppError(QStringLiteral("could not write %1").arg(path));
        file.close();
        data::insertRowWithFile(connection, QStringLiteral("Attachments"),
                                {{QStringLiteral("AttachmentsName"), QFileInfo(path).fileName()},
                                 {QStringLiteral("AttachmentVersion"), 1}},
                                QStringLiteral("Attachments"), path);
        corpus.files << path;
        corpus.holdingWord += holdsWord;
        total += size;
    }
    return corpus;
}

int searchOurWay(const QString& word = Word) {
    ClsBinaryFunctions search;
    return int(search.cmdOpendb(word, Statement).rows.size());
}

// grep -c prints one "file:count" line per file.
int searchWithGrep(const QStringList& files, const QString& word = Word) {
    QProcess grep;
    grep.start(QStringLiteral("grep"), QStringList{QStringLiteral("-ciF"), word} + files);
    grep.waitForFinished(-1);
    int holding = 0;
    for (const QByteArray& line : grep.readAllStandardOutput().split('\n'))
        holding += !line.isEmpty() && !line.endsWith(":0");
    return holding;
}

// The old way: each value fetched whole, written to temp/Search, searched one byte per read with the
// case ignored, deleted.
int searchOldWay() {
    const QByteArray pattern = Word.toUpper().toLatin1();
    const QString folder = AppFacts::tempDirectory() + QStringLiteral("/Search");
    QDir().mkpath(folder);
    data::Connection connection;
    connection.open();
    data::Recordset rows;
    rows.open(Statement, connection);
    int holding = 0;
    for (; !rows.eof(); rows.moveNext()) {
        const QString path = folder + u'/' + rows.text(QStringLiteral("AttachmentsName"));
        {
            QFile out(path);
            const QByteArray bytes = rows.getChunk(QStringLiteral("Attachments"));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                throw AppError(QStringLiteral("could not export %1").arg(path));
        }
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        qsizetype matched = 0;
        bool found = false;
        for (char c; !found && in.getChar(&c);) {
            const char upper = c >= 'a' && c <= 'z' ? char(c - 32) : c;
            // Back to the longest prefix that still fits; the word has no repeated prefix.
            matched = upper == pattern.at(matched) ? matched + 1 : (upper == pattern.at(0) ? 1 : 0);
            found = matched == pattern.size();
        }
        in.close();
        QFile::remove(path);
        holding += found;
    }
    return holding;
}

// Child process: memory at rest with the database open, then the peak during one search.
int measureMemory(const QString& appDir) {
    AppFacts::setApplicationDirectory(appDir);
    data::Connection warm;
    warm.open();
    ClsBinaryFunctions search;
    search.cmdOpendb(QStringLiteral("warm up"),
                     QStringLiteral("SELECT * FROM Attachments WHERE AttachmentsId < 0"));
    const qint64 idle = statusKb("VmRSS:");
    searchOurWay();
    std::printf("%lld %lld\n", idle, statusKb("VmHWM:"));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args.at(1) == QLatin1String("--measure-memory"))
            return measureMemory(args.at(2));
        QTemporaryDir appDir;
        QTemporaryDir filesDir;
        AppFacts::setApplicationDirectory(appDir.path());
        AppFacts::ensureApplicationDirectory();
        const Corpus corpus = build(filesDir.path());
        std::printf("corpus: %lld MB in %lld stored files (text and binary), %d of them hold \"%s\"\n",
                    TotalBytes >> 20, qlonglong(corpus.files.size()), corpus.holdingWord, qPrintable(Word));

        std::vector<double> ours;
        std::vector<double> grep;
        int oursFound = 0;
        int grepFound = 0;
        searchOurWay(); // both read from a warm page cache
        searchWithGrep(corpus.files);
        for (int round = 0; round < Rounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            oursFound = searchOurWay();
            ours.push_back(millisecondsSince(timer));
            timer.restart();
            grepFound = searchWithGrep(corpus.files);
            grep.push_back(millisecondsSince(timer));
        }
        // A word with an accent that no file holds: every byte is looked at as UTF-8 and as Windows-1252.
        const QString accented = QStringLiteral("Grönland");
        std::vector<double> oursAccented;
        std::vector<double> grepAccented;
        for (int round = 0; round < Rounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            searchOurWay(accented);
            oursAccented.push_back(millisecondsSince(timer));
            timer.restart();
            searchWithGrep(corpus.files, accented);
            grepAccented.push_back(millisecondsSince(timer));
        }
        QElapsedTimer timer;
        timer.start();
        const int oldFound = searchOldWay();
        const double old = millisecondsSince(timer);

        QProcess child;
        child.start(app.applicationFilePath(), {QStringLiteral("--measure-memory"), appDir.path()});
        child.waitForFinished(-1);
        const QList<QByteArray> memory = child.readAllStandardOutput().trimmed().split(' ');
        const double idleMb = memory.value(0).toDouble() / 1024;
        const double peakMb = memory.value(1).toDouble() / 1024;

        const double ratio = median(ours) / median(grep);
        std::printf("ours (in pieces from the database): %8.0f ms  found in %d files\n", median(ours),
                    oursFound);
        std::printf("grep -ciF over the same files:      %8.0f ms  found in %d files (LANG=%s)\n",
                    median(grep), grepFound,
                    qPrintable(qEnvironmentVariable("LANG", QStringLiteral("unset"))));
        std::printf("old way (export, byte reads):        %8.0f ms  found in %d files\n", old, oldFound);
        std::printf("ratio ours / grep: %.2f (target <= %.1f)\n", ratio, Target);
        std::printf("\"%s\" (in no file), ours: %.0f ms, grep -ciF: %.0f ms, ratio %.2f\n",
                    qPrintable(accented), median(oursAccented), median(grepAccented),
                    median(oursAccented) / median(grepAccented));
        std::printf(
            "peak memory of our search: %.1f MB above idle (idle %.1f MB, peak %.1f MB; target < %.0f MB)\n",
            peakMb - idleMb, idleMb, peakMb, MemoryTargetMb);
        const bool sameAnswers = oursFound == grepFound && oursFound == oldFound;
        if (!sameAnswers)
            std::printf("the three ways disagree\n");
        return sameAnswers ? 0 : 1;
    } catch (const AppError& error) {
        std::fprintf(stderr, "bench_search: %s\n", qPrintable(error.description()));
        return 1;
    }
}
