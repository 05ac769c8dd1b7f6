#include "testappdir.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "data/connection.h"
#include "data/connectionstring.h"
#include "data/postgresconnection.h"
#include "data/recordset.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString newDatabaseName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("pellorin_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

TestAppDir::TestAppDir() {
    AppFacts::setApplicationDirectory(m_dir.path());
    AppFacts::ensureApplicationDirectory();
    data::setConfiguredConnectionString(QString());
    if (onPostgres()) {
        m_database = newDatabaseName();
        serverExec(QStringLiteral("CREATE DATABASE %1").arg(m_database));
        qputenv("PELLORIN_DATABASE", serverConnection(m_database, QStringLiteral("postgres")).toUtf8());
    }
}

TestAppDir::~TestAppDir() {
    if (m_database.isEmpty())
        return;
    qunsetenv("PELLORIN_DATABASE");
    try {
        serverExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_database));
    } catch (const AppError& error) {
        qWarning("%s", qPrintable(error.description()));
    }
}

qint64 TestAppDir::addEmployee(const QString& first, const QString& middle, const QString& last,
                               const QString& title, const QString& code) {
    return addEmployee({first, middle, last, title, code});
}

qint64 TestAppDir::addEmployee(const QVariantList& fiveColumns) {
    data::Connection connection;
    connection.open();
    data::Recordset rs;
    rs.open(QStringLiteral("select * from EmployeeTable"), connection);
    rs.addNew();
    const char* names[] = {"EmployeeFirstName", "EmployeeMiddleName", "EmployeeLastName", "Title",
                           "EmployeeIdentification"};
    for (int i = 0; i < 5; ++i)
        rs.setField(QString::fromLatin1(names[i]), fiveColumns.value(i));
    return rs.update().toLongLong();
}

void TestAppDir::exec(const QString& jetSql, const QVariantList& values) {
    data::Connection connection;
    connection.open();
    connection.execute(jetSql, values);
}

qint64 TestAppDir::count(const QString& table) {
    data::Connection connection;
    connection.open();
    data::Recordset rs;
    rs.open(QStringLiteral("select * from ") + table, connection);
    return rs.recordCount();
}

QString TestAppDir::databaseLocation() const {
    if (m_database.isEmpty())
        return file(QStringLiteral("Pellorin.db"));
    return data::postgresLocation(data::parseConnectionString(serverConnection(m_database, QStringLiteral("postgres"))));
}

QString TestAppDir::fixtures() {
    const QString dir = qEnvironmentVariable("PELLORIN_FIXTURES");
    return (!dir.isEmpty() && QDir(dir).exists()) ? dir : QString();
}

bool TestAppDir::onPostgres() {
    return qEnvironmentVariable("PELLORIN_TEST_BACKEND").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) ==
           0;
}

QString TestAppDir::serverConnection() {
    static const QString connection = [] {
        QFile file(qEnvironmentVariable("PELLORIN_TEST_POSTGRES"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("The test PostgreSQL server is not running: %s cannot be read (PELLORIN_TEST_POSTGRES). "
                   "Run the test through ctest, which starts the server.",
                   qPrintable(file.fileName()));
        return QString::fromUtf8(file.readAll()).trimmed();
    }();
    return connection;
}

QString TestAppDir::serverConnection(const QString& database, const QString& user, const QString& password) {
    const data::ConnectionSettings server = data::parseConnectionString(serverConnection());
    QString connection = QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User ID=%4;")
                             .arg(server.host)
                             .arg(server.port)
                             .arg(database, user);
    if (!password.isEmpty())
        connection += QStringLiteral("Password=%1;").arg(password);
    return connection;
}

void TestAppDir::serverExec(const QString& sql, const QString& database) {
    const QString name = QStringLiteral("test-server-admin");
    {
        QSqlDatabase db = data::openPostgres(
            name, data::parseConnectionString(serverConnection(database.isEmpty() ? QStringLiteral("postgres") : database,
                                                               QStringLiteral("postgres"))));
        QSqlQuery query(db);
        const bool ok = query.exec(sql);
        const QString error = query.lastError().text();
        query.finish();
        db.close();
        if (!ok)
            throw AppError(QStringLiteral("%1: %2").arg(sql, error));
    }
    QSqlDatabase::removeDatabase(name);
}
