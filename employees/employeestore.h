// Writing employee rows as the editor enters them: the name checks, the INSERT of a new employee together
// with its photograph, and the UPDATE of an existing row. Values are always bound, never pasted into the
// statement. Knows nothing of windows; the caller owns the connection and the command.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace data {
class Command;
class Connection;
} // namespace data

namespace employees {

struct EmployeeFields {
    QString firstName;
    QString middleName;
    QString lastName;
    QString title;
    QString identification; // the code on the badge, linking the employee to the photograph
};

// The message for the first of the three names that is exactly empty ("Invalid employee first name",
// "... middle name", "... last name"); nothing when all three hold text. Nothing is trimmed, so a name
// of blanks passes. Title and code are not checked.
std::optional<QString> invalidNameMessage(const EmployeeFields& fields);

// Another employee, as a message names them.
struct EmployeeRef {
    qint64 key = 0;
    QString name; // first, middle and last name
};

// The employees other than `exceptKey` whose code is the same as `code` the way the photograph lookup
// compares codes (letter case ignored), in key order. An empty code matches nobody.
QList<EmployeeRef> employeesWithCode(data::Connection& connection, const QString& code,
                                     qint64 exceptKey = -1);

// "The identification code "C300" is already used by Ann B Cole (record 3). ..."
QString codeInUseMessage(const QString& code, const EmployeeRef& other);

// Why a photograph is not stored for an employee without a code; callers add what to do.
QString photoNeedsCodeMessage();

// The INSERT and the UPDATE of one row alone, for callers that hold a transaction of their own (an import
// of many employees): no checks, no photograph. insertEmployeeRow returns the new key.
qint64 insertEmployeeRow(data::Connection& connection, const EmployeeFields& fields);
void updateEmployeeRow(data::Connection& connection, qint64 key, const EmployeeFields& fields);

// Inserts the employee and, when photoPath names a file, the photograph as the code's only one, in one
// transaction on the command's open connection: both rows are stored or neither. Returns the new row's
// key. Throws AppError, storing nothing, when another employee already has the code, when a photograph
// comes without a code, or when the statement fails.
qint64 addEmployee(data::Command& command, const EmployeeFields& fields, const QString& photoPath);

// Changes the five text columns of the row with the given key, in one transaction with its photograph:
// a photoPath replaces every photograph stored under the (new) code; a changed code takes the
// employee's photographs with it unless another employee still uses the old code. Throws AppError,
// changing nothing, when the key is not a whole number, when no row has that key (it was deleted
// meanwhile), when the new code is another employee's, when a photograph comes without a code, or when
// a statement fails. Keeping a code that others share (older databases) is allowed.
void updateEmployee(data::Command& command, const QString& recordId, const EmployeeFields& fields,
                    const QString& photoPath = QString());

} // namespace employees
