#include "employees/employeestore.h"

#include "app/apperror.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/keys.h"
#include "data/recordset.h"
#include "employees/photostore.h"

#include <QStringList>
#include <QVariantList>

#include <type_traits>

namespace employees {

namespace {

const QString InsertStatement = QStringLiteral(
    "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title,  "
    "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)");
const QString UpdateStatement = QStringLiteral(
    "UPDATE EmployeeTable SET EmployeeTable.EmployeeFirstName = ?, EmployeeTable.EmployeeMiddleName = ?, "
    "EmployeeTable.EmployeeLastName = ?, EmployeeTable.Title = ?, EmployeeTable.EmployeeIdentification = ? "
    "WHERE (EmployeeTable.EmployeeId= ?);");
// The code column's own comparison decides, the same one the photograph lookup uses.
const QString SameCodeStatement = QStringLiteral(
    "SELECT EmployeeId, EmployeeFirstName, EmployeeMiddleName, EmployeeLastName FROM EmployeeTable "
    "WHERE EmployeeIdentification = ? AND EmployeeId <> ? ORDER BY EmployeeId");
const QString StoredCodeStatement =
    QStringLiteral("SELECT EmployeeIdentification FROM EmployeeTable WHERE EmployeeId = ?");

// An empty box is stored as empty text, as the form always wrote it; Qt SQL would bind a null QString
// as Null, which a later lookup by code would not find.
QString nonNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QVariantList values(const EmployeeFields& fields) {
    return {nonNull(fields.firstName), nonNull(fields.middleName), nonNull(fields.lastName),
            nonNull(fields.title), nonNull(fields.identification)};
}

data::Connection& openConnection(data::Command& command) {
    data::Connection* connection = command.activeConnection();
    if (!connection || !connection->isOpen())
        throw AppError(QStringLiteral("The employee was not saved: the database connection is not open."));
    return *connection;
}

// Runs body inside a transaction on the connection: all of it is stored or nothing.
template <typename Body> auto inTransaction(data::Connection& connection, Body body) {
    connection.beginTransaction();
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            connection.commit();
        } else {
            auto result = body();
            connection.commit();
            return result;
        }
    } catch (...) {
        connection.rollback();
        throw;
    }
}

// Inside the transaction that stores the code: two programs storing one code at once must not both
// find it free.
void refuseCodeInUse(data::Connection& connection, const QString& code, qint64 exceptKey) {
    if (!code.isEmpty())
        connection.lockName(data::Connection::NameLock::EmployeeCode, code);
    const QList<EmployeeRef> others = employeesWithCode(connection, code, exceptKey);
    if (!others.isEmpty())
        throw AppError(codeInUseMessage(code, others.first()));
}

void refusePhotoWithoutCode(const QString& code, const QString& photoPath) {
    if (!photoPath.isEmpty() && code.isEmpty())
        throw AppError(photoNeedsCodeMessage());
}

QString storedCode(data::Connection& connection, qint64 key) {
    data::Recordset rs;
    rs.open(StoredCodeStatement, connection, {key});
    if (rs.eof())
        throw AppError(QStringLiteral("The employee was not updated: record %1 no longer exists, it may have "
                                      "been deleted from another window. Add the employee again with "
                                      "\"Add Employee\".")
                           .arg(key));
    return rs.text(QStringLiteral("EmployeeIdentification"));
}

} // namespace

QList<EmployeeRef> employeesWithCode(data::Connection& connection, const QString& code, qint64 exceptKey) {
    QList<EmployeeRef> found;
    if (code.isEmpty())
        return found;
    data::Recordset rs;
    rs.open(SameCodeStatement, connection, {code, exceptKey});
    for (; !rs.eof(); rs.moveNext())
        found.append({rs.field(QStringLiteral("EmployeeId")).toLongLong(),
                      QStringList{rs.text(QStringLiteral("EmployeeFirstName")),
                                  rs.text(QStringLiteral("EmployeeMiddleName")),
                                  rs.text(QStringLiteral("EmployeeLastName"))}
                          .join(u' ')
                          .simplified()});
    return found;
}

QString codeInUseMessage(const QString& code, const EmployeeRef& other) {
    return QStringLiteral("The identification code \"%1\" is already used by %2 (record %3). Each employee "
                          "needs a code of their own: the photograph is found by the code, so both badges "
                          "would show the same face. Choose another code.")
        .arg(code, other.name.isEmpty() ? QStringLiteral("another employee") : other.name)
        .arg(other.key);
}

QString photoNeedsCodeMessage() {
    return QStringLiteral("The photograph was not stored: photographs are found by the identification "
                          "code, and this employee has none. Stored under an empty code, the photograph "
                          "would show on the badge of every employee without a code.");
}

std::optional<QString> invalidNameMessage(const EmployeeFields& fields) {
    if (fields.firstName.isEmpty())
        return QStringLiteral("Invalid employee first name");
    if (fields.middleName.isEmpty())
        return QStringLiteral("Invalid employee middle name");
    if (fields.lastName.isEmpty())
        return QStringLiteral("Invalid employee last name");
    return std::nullopt;
}

qint64 insertEmployeeRow(data::Connection& connection, const EmployeeFields& fields) {
    connection.execute(InsertStatement, values(fields));
    return connection.lastInsertId().toLongLong();
}

void updateEmployeeRow(data::Connection& connection, qint64 key, const EmployeeFields& fields) {
    QVariantList bound = values(fields);
    bound.append(key);
    connection.execute(UpdateStatement, bound);
}

qint64 addEmployee(data::Command& command, const EmployeeFields& fields, const QString& photoPath) {
    data::Connection& connection = openConnection(command);
    refusePhotoWithoutCode(fields.identification, photoPath);
    return inTransaction(connection, [&] {
        refuseCodeInUse(connection, fields.identification, -1);
        command.setCommandText(InsertStatement);
        command.setParameters(values(fields));
        command.execute();
        const qint64 key = connection.lastInsertId().toLongLong();
        // Rows left under the code by an employee deleted earlier would otherwise be found first.
        if (!photoPath.isEmpty())
            replacePhoto(connection, photoPath, fields.identification);
        return key;
    });
}

void updateEmployee(data::Command& command, const QString& recordId, const EmployeeFields& fields,
                    const QString& photoPath) {
    const std::optional<qint64> key = data::parseKey(recordId);
    if (!key)
        throw AppError(QStringLiteral("The employee was not updated: its record number \"%1\" is not a whole "
                                      "number. Close this window and edit the employee again from the list.")
                           .arg(recordId));
    data::Connection& connection = openConnection(command);
    const QString& code = fields.identification;
    refusePhotoWithoutCode(code, photoPath);
    inTransaction(connection, [&] {
        const QString oldCode = storedCode(connection, *key);
        // A code kept as it was stays allowed even where an older database already shares it.
        const bool codeChanged = oldCode != code;
        if (codeChanged)
            refuseCodeInUse(connection, code, *key);
        QVariantList bound = values(fields);
        bound.append(*key);
        command.setCommandText(UpdateStatement);
        command.setParameters(bound);
        command.execute();
        // The old code's photographs are the employee's own unless somebody still uses that code; a new
        // photograph then replaces them too.
        if (codeChanged && !oldCode.isEmpty() && !code.isEmpty() &&
            employeesWithCode(connection, oldCode, *key).isEmpty())
            movePhotos(connection, oldCode, code);
        if (!photoPath.isEmpty())
            replacePhoto(connection, photoPath, code);
    });
}

} // namespace employees
