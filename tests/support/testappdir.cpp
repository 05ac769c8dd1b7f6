#include "testappdir.h"

#include "app/appfacts.h"
#include "data/connection.h"
#include "data/recordset.h"

#include <QDir>

TestAppDir::TestAppDir() {
    AppFacts::setApplicationDirectory(m_dir.path());
    AppFacts::ensureApplicationDirectory();
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

QString TestAppDir::fixtures() {
    const QString dir = qEnvironmentVariable("PELLORIN_FIXTURES");
    return (!dir.isEmpty() && QDir(dir).exists()) ? dir : QString();
}
