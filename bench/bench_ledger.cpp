// What the badge ledger costs. Printing: 500 badges written to one PDF file as a print run does, once
// plain and once with their records written in the same step; the difference per badge is the ledger's
// share (target: under 1 ms). Reading: `pellorin-cli history` over 100,000 records, from start to its last
// line in a file (target: under 0.5 s), against a plain forward read of the same rows in this process.
#include "app/appfacts.h"
#include "badges/badgeprinting.h"
#include "badges/ledger.h"
#include "data/connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include "bench/benchsupport.h"
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace bench;

namespace {

constexpr int BadgeCount = 500;
constexpr int Records = 100000;
constexpr int Rounds = 3;

double best(const std::function<double()>& round) {
    double fastest = 1e300;
    for (int i = 0; i < Rounds; ++i)
        fastest = std::min(fastest, round());
    return fastest;
}

double peakMegabytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

QList<badges::Badge> badgeBatch() {
    QList<badges::Badge> list;
    for (int i = 0; i < BadgeCount; ++i)
        list.append(badges::Badge{QStringLiteral("Acme Security"),
                                  QStringLiteral("Jane Q Doe %1").arg(i),
                                  QStringLiteral("Security Officer"),
                                  QStringLiteral("EMP-%1").arg(i),
                                  QImage(),
                                  {},
                                  QDate(2027, 12, 31),
                                  {}});
    return list;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    AppFacts::setApplicationDirectory(dir.path());
    AppFacts::ensureApplicationDirectory();
    data::Connection connection;
    connection.open();

    const QList<badges::Badge> list = badgeBatch();
    QList<badges::ledger::Issue> issues;
    for (const badges::Badge& badge : list)
        issues.append(badges::ledger::issueOf(badge, 1));
    const QString pdf = dir.filePath(QStringLiteral("badges.pdf"));
    const double plain = best([&] { return timed([&] { badges::writeBadgesPdf(pdf, list); }); });
    const double recorded = best([&] {
        return timed([&] {
            badges::ledger::recordIssues(connection, issues, pdf, badges::ledger::DesignLayout,
                                         [&] { badges::writeBadgesPdf(pdf, list); });
        });
    });
    const double recordingOnly = best([&] {
        return timed([&] {
            badges::ledger::recordIssues(connection, issues, pdf, badges::ledger::DesignLayout, [] {});
        });
    });
    const double perBadge = (recorded - plain) / BadgeCount;
    std::printf("print run of %d badges to PDF: plain %.0f ms, with records %.0f ms (ratio %.3f)\n",
                BadgeCount, plain, recorded, recorded / plain);
    std::printf("  ledger's share per badge: %.3f ms (records alone: %.3f ms) (target < 1 ms) %s\n", perBadge,
                recordingOnly / BadgeCount,
                std::max(perBadge, recordingOnly / BadgeCount) < 1 ? "ok" : "ABOVE TARGET");

    // A ledger of years: 100,000 records.
    QList<badges::ledger::Issue> many;
    many.reserve(Records);
    for (int i = 0; i < Records; ++i)
        many.append(badges::ledger::Issue{
            i + 1, QStringLiteral("Jane Q Doe %1").arg(i), QStringLiteral("Officer"), QStringLiteral("Acme"),
            QStringLiteral("EMP-%1").arg(i % 20000), QDate(2027, 1, 1).addDays(i % 700),
            i % 3 ? QString() : QStringLiteral("Lost"), QString()});
    const double fill = timed([&] {
        badges::ledger::recordIssues(connection, many, QStringLiteral("printer"),
                                     badges::ledger::DesignLayout, [] {});
    });
    connection.close();
    std::printf("recording %d records in one step: %.0f ms\n", Records, fill);

    // Every value of every row turned into text, as the companion has to.
    const double baseline = best([&] {
        data::Connection reader;
        reader.open();
        return timed([&] {
            QSqlQuery query(reader.database());
            query.setForwardOnly(true);
            query.exec(QStringLiteral("SELECT * FROM BadgeLedger ORDER BY EntryId"));
            qint64 total = 0;
            while (query.next())
                for (int column = 0; column < 14; ++column)
                    total += query.value(column).toString().size();
            std::fprintf(stderr, "%s", total < 0 ? "?" : "");
        });
    });
    const QString companion = QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/pellorin-cli");
    for (const QStringList& format :
         {QStringList{}, QStringList{QStringLiteral("--format"), QStringLiteral("csv")}}) {
        const double run = best([&] {
            QProcess process;
            process.setStandardOutputFile(dir.filePath(QStringLiteral("history.txt")));
            return timed([&] {
                process.start(companion, QStringList{QStringLiteral("--data-dir"), dir.path(),
                                                     QStringLiteral("history")} +
                                             format);
                process.waitForFinished(60000);
            });
        });
        std::printf(
            "pellorin-cli history %s over %d records: %.0f ms; plain forward read %.0f ms (ratio %.1f) "
            "(target < 500 ms) %s; %lld bytes\n",
            format.isEmpty() ? "" : "--format csv", Records, run, baseline, run / baseline,
            run < 500 ? "ok" : "ABOVE TARGET", QFile(dir.filePath(QStringLiteral("history.txt"))).size());
    }
    std::printf("peak memory: this process %.0f MB, companion %.0f MB\n", peakMegabytes(RUSAGE_SELF),
                peakMegabytes(RUSAGE_CHILDREN));
    return 0;
}
