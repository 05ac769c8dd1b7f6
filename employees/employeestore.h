// Writing employee rows as the editor enters them: the name checks, the INSERT of a new employee together
// with its photograph, and the UPDATE of an existing row. Values are always bound, never pasted into the
// statement. Knows nothing of windows; the caller owns the connection and the command.
#pragma once

#include <QString>

#include <optional>

namespace data {
class Command;
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

// Inserts the employee and, when photoPath names a file, the photograph under the employee's code, in
// one transaction on the command's open connection: both rows are stored or neither. Returns the new
// row's key. Throws AppError.
qint64 addEmployee(data::Command& command, const EmployeeFields& fields, const QString& photoPath);

// Changes the five text columns of the row with the given key. Throws AppError when the key is not a
// whole number, when no row has that key (it was deleted meanwhile) or when the statement fails.
void updateEmployee(data::Command& command, const QString& recordId, const EmployeeFields& fields);

} // namespace employees
