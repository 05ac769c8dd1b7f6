// Fills an explorer with 100,000 employees and compares the time with a plain forward read of the
// same rows through the same driver, in the same run. Prints both times and their ratio: first on the
// embedded database, then on PostgreSQL when PELLORIN_BENCH_POSTGRES names a server (a superuser's
// connection string; scripts/run-benchmarks starts a throw-away server for it). On the embedded database
// it also types into the explorer's filter box key by key, as an operator looking for one person, and
// prints how long each key takes until the list shows the narrowed rows, against the plain read.
#include "app/appfacts.h"
#include "app/scriptedplatform.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/jetdialect.h"
#include "data/postgresconnection.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlError>
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

// The same rows made by the server itself; 100,000 single inserts over the network would take minutes.
void fillPostgres() {
    data::Connection connection;
    connection.open();
    QSqlQuery insert(connection.database());
    if (!insert.exec(
            QStringLiteral(
                "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title, "
                "EmployeeIdentification) SELECT 'First' || (i % 977), 'M' || (i % 26), 'Last' || "
                "lpad(((i * 7919) % %1)::text, 6, '0'), CASE WHEN i % 3 <> 0 THEN 'Clerk' END, 'EMP-' || "
                "lpad(i::text, 6, '0') FROM generate_series(0, %1 - 1) AS i")
                .arg(Employees)))
        std::fprintf(stderr, "filling failed: %s\n", qPrintable(insert.lastError().text()));
}

double medianMs(std::vector<qint64> samples) {
    std::sort(samples.begin(), samples.end());
    return double(samples[samples.size() / 2]) / 1e6;
}

// One key into the filter box: the time until the list has taken in the narrowed rows.
qint64 typeKey(QLineEdit& box, const QString& text) {
    QElapsedTimer timer;
    timer.start();
    box.setText(text);
    QCoreApplication::processEvents();
    return timer.nsecsElapsed();
}

// A last name typed in full, then taken back key by key, then an accented search matching nobody.
void measureFilter(Form2& explorer, double read) {
    auto* box = explorer.findChild<QLineEdit*>(QStringLiteral("txtFilter"));
    const QString wanted = QStringLiteral("last004242");
    std::vector<qint64> keys;
    QString typed;
    const qint64 firstKey = typeKey(*box, typed = wanted.left(1));
    for (qsizetype n = 2; n <= wanted.size(); ++n)
        keys.push_back(typeKey(*box, typed = wanted.left(n)));
    const int found = explorer.listModel()->rowCount();
    while (!typed.isEmpty()) {
        typed.chop(1);
        keys.push_back(typeKey(*box, typed));
    }
    for (const QString& accented : {QStringLiteral("é"), QStringLiteral("éx"), QString()})
        keys.push_back(typeKey(*box, accented));
    const double slowest = double(*std::max_element(keys.begin(), keys.end())) / 1e6;
    std::printf("filter, first key (prepares %d rows for finding): %.1f ms\n", Employees,
                double(firstKey) / 1e6);
    std::printf("filter, later keys: median %.1f ms, slowest %.1f ms over %zu keys (\"%s\" finds %d)\n",
                medianMs(keys), slowest, keys.size(), qPrintable(wanted), found);
    std::printf("ratio slowest key/read = %.2f, first key/read = %.2f\n", slowest / read,
                double(firstKey) / 1e6 / read);
}

void measure(const char* backend, bool withFilter = false) {
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
    std::printf("%s: explorer fill of %d employees: %.1f ms (median of %d)\n", backend, Employees, fill,
                Rounds);
    std::printf("%s: plain forward read of the same rows: %.1f ms (median of %d)\n", backend, read, Rounds);
    std::printf("%s: ratio fill/read = %.2f (target <= 2)\n", backend, fill / read);
    if (withFilter)
        measureFilter(explorer, read);
}

// Runs on a new database of the server, dropped again afterwards.
void measurePostgres(const QString& server) {
    const QString database = QStringLiteral("pellorin_bench_%1").arg(QCoreApplication::applicationPid());
    const auto admin = [&](const QString& sql) {
        {
            QSqlDatabase db =
                data::openPostgres(QStringLiteral("bench-admin"), data::parseConnectionString(server));
            QSqlQuery query(db);
            if (!query.exec(sql))
                std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    };
    admin(QStringLiteral("CREATE DATABASE ") + database);
    data::ConnectionSettings settings = data::parseConnectionString(server);
    data::setConfiguredConnectionString(
        QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User ID=%4;Password=%5;")
            .arg(settings.host)
            .arg(settings.port)
            .arg(database, settings.user, settings.password));
    fillPostgres();
    measure("PostgreSQL");
    data::setConfiguredConnectionString(QString());
    admin(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(database));
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
    measure("SQLite", true);
    const QString server = qEnvironmentVariable("PELLORIN_BENCH_POSTGRES");
    if (!server.isEmpty())
        measurePostgres(server);
    return 0;
}
