// Fills an explorer with 100,000 employees and compares the time with a plain forward read of the
// same rows through the same driver, in the same run. Prints both times and their ratio.
#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Employees = 100000;
constexpr int Rounds = 5;

void fillDatabase() {
    data::Connection connection;
    connection.open();
    connection.beginTransaction();
    QSqlQuery insert(connection.database());
    insert.prepare(
        "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
        "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)");
    for (int i = 0; i < Employees; ++i) {
        insert.bindValue(0, QStringLiteral("First%1").arg(i % 977));
        insert.bindValue(1, QStringLiteral("M%1").arg(i % 26));
        insert.bindValue(2, QStringLiteral("Last%1").arg((i * 7919) % Employees, 6, 10, QChar('0')));
        insert.bindValue(3, i % 3 ? QVariant(QStringLiteral("Clerk")) : QVariant());
        insert.bindValue(4, QStringLiteral("EMP-%1").arg(i, 6, 10, QChar('0')));
        insert.exec();
    }
    connection.commit();
}

// The same statement, read forward with the same driver into the same six texts, and nothing else.
qint64 plainRead() {
    QElapsedTimer timer;
    timer.start();
    data::Connection connection;
    connection.open();
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    query.exec(connection.translate(employees::listStatement(QString(), QStringLiteral(" ASC"))));
    qint64 count = 0;
    std::vector<QString> sink(6);
    while (query.next()) {
        for (int c = 0; c < 6; ++c)
            sink[size_t(c)] = query.value(c).toString();
        ++count;
    }
    if (count != Employees)
        std::fprintf(stderr, "plain read saw %lld rows\n", count);
    return timer.nsecsElapsed();
}

qint64 explorerFill(Form2& explorer) {
    explorer.clearList();
    QElapsedTimer timer;
    timer.start();
    QString order;
    explorer.populateTree(order);
    QCoreApplication::processEvents();
    const qint64 elapsed = timer.nsecsElapsed();
    if (explorer.listModel()->rowCount() != Employees)
        std::fprintf(stderr, "explorer shows %d rows\n", explorer.listModel()->rowCount());
    return elapsed;
}

double medianMs(std::vector<qint64> samples) {
    std::sort(samples.begin(), samples.end());
    return double(samples[samples.size() / 2]) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppFacts::setApplicationDirectory(dir.path());
    AppFacts::ensureApplicationDirectory();
    ScriptedPlatform platform;
    fillDatabase();

    Form2 explorer;
    explorer.show();
    std::vector<qint64> fills;
    std::vector<qint64> reads;
    for (int round = 0; round < Rounds; ++round) {
        reads.push_back(plainRead());
        fills.push_back(explorerFill(explorer));
    }
    const double fill = medianMs(fills);
    const double read = medianMs(reads);
    std::printf("explorer fill of %d employees: %.1f ms (median of %d)\n", Employees, fill, Rounds);
    std::printf("plain forward read of the same rows: %.1f ms (median of %d)\n", read, Rounds);
    std::printf("ratio fill/read = %.2f (target <= 2)\n", fill / read);
    return 0;
}
