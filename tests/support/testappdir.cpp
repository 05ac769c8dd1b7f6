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
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString newDatabaseName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("pellorin_test_%1_%2")
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

ScratchDatabase::ScratchDatabase() {
    data::setConfiguredConnectionString(QString());
    if (!TestAppDir::onPostgres())
        return;
    m_name = newDatabaseName();
    TestAppDir::serverExec(QStringLiteral("CREATE DATABASE %1").arg(m_name));
    qputenv("PELLORIN_DATABASE", TestAppDir::serverConnection(m_name, QStringLiteral("postgres")).toUtf8());
}

ScratchDatabase::~ScratchDatabase() {
    if (m_name.isEmpty())
        return;
    qunsetenv("PELLORIN_DATABASE");
    try {
        TestAppDir::serverExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    } catch (const AppError& error) {
        qWarning("%s", qPrintable(error.description()));
    }
}

TestAppDir::TestAppDir() {
    AppFacts::setApplicationDirectory(m_dir.path());
    AppFacts::ensureApplicationDirectory();
}

TestAppDir::~TestAppDir() = default;

QString TestAppDir::breakDatabase() {
    if (onPostgres()) {
        // Port 1 on this machine: nothing listens there.
        qputenv("PELLORIN_DATABASE",
                serverConnection(m_database.name(), QStringLiteral("postgres"))
                    .replace(QRegularExpression(QStringLiteral("Port=\\d+")), QStringLiteral("Port=1"))
                    .toUtf8());
        return QStringLiteral("on the server 127.0.0.1:1");
    }
    const QString database = file(QStringLiteral("Pellorin.db"));
    for (const char* suffix : {"-wal", "-shm"})
        QFile::remove(database + QLatin1String(suffix));
    QFile out(database);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(QByteArray(8192, 'g')) != 8192)
        qFatal("Could not write %s", qPrintable(database));
    return QDir::toNativeSeparators(database);
}

void TestAppDir::restoreDatabase() {
    if (onPostgres())
        qputenv("PELLORIN_DATABASE",
                serverConnection(m_database.name(), QStringLiteral("postgres")).toUtf8());
    else
        QFile::remove(file(QStringLiteral("Pellorin.db")));
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
    if (m_database.name().isEmpty())
        return file(QStringLiteral("Pellorin.db"));
    return data::postgresLocation(
        data::parseConnectionString(serverConnection(m_database.name(), QStringLiteral("postgres"))));
}

QString TestAppDir::fixtures() {
    const QString dir = qEnvironmentVariable("PELLORIN_FIXTURES");
    return (!dir.isEmpty() && QDir(dir).exists()) ? dir : QString();
}

bool TestAppDir::onPostgres() {
    return qEnvironmentVariable("PELLORIN_TEST_BACKEND")
               .compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0;
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
            name,
            data::parseConnectionString(serverConnection(
                database.isEmpty() ? QStringLiteral("postgres") : database, QStringLiteral("postgres"))));
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
