// add, update, photo and company: what the editor and "Add/Edit Company" do, without a screen.
#include "app/apperror.h"
#include "cli/commands.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/keys.h"
#include "data/outputfile.h"
#include "data/recordset.h"
#include "employees/badgevalidity.h"
#include "employees/companyfile.h"
#include "employees/employeecode.h"
#include "employees/employeestore.h"
#include "employees/photofile.h"

#include <QFile>

#include <cstdio>

namespace cli {

namespace {

void checkNames(const employees::EmployeeFields& fields) {
    if (const auto message = employees::invalidNameMessage(fields))
        throw AppError(*message);
}

// A code that cannot be printed as typed is refused; one holding "*" is stored with a warning.
void checkCode(const QString& code) {
    if (const QString refusal = employees::undrawableCodeMessage(code); !refusal.isEmpty())
        throw AppError(refusal + QStringLiteral(" Give another --code."));
    if (const QString warning = employees::startStopInCodeMessage(code); !warning.isEmpty())
        warn(warning);
}

void checkPhoto(const QString& photo, const QString& code) {
    if (photo.isEmpty())
        return;
    if (code.isEmpty())
        throw AppError(employees::photoNeedsCodeMessage() +
                       QStringLiteral(" Give the employee a code with --code CODE, or leave out --photo."));
    QString error;
    if (!isPictureFile(photo, &error))
        throw AppError(error);
}

// The employee as stored now, so that update changes only what it is given.
employees::EmployeeFields storedEmployee(data::Connection& connection, qint64 key) {
    data::Recordset rs;
    rs.open(QStringLiteral("SELECT * FROM EmployeeTable WHERE (EmployeeTable.EmployeeId= ?)"), connection,
            {key});
    if (rs.eof())
        throw AppError(QStringLiteral("No employee has the record number %1.").arg(key));
    return {rs.text(QStringLiteral("EmployeeFirstName")), rs.text(QStringLiteral("EmployeeMiddleName")),
            rs.text(QStringLiteral("EmployeeLastName")), rs.text(QStringLiteral("Title")),
            rs.text(QStringLiteral("EmployeeIdentification"))};
}

} // namespace

namespace {

// add --from: one employee a line, tab-separated first, middle, last, title, code; each its own save, so
// the employees before a refused line stay stored (the message names the line).
int addEmployeesFrom(const QString& source) {
    QFile file(source);
    const bool fromInput = source == QLatin1String("-");
    if (!(fromInput ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly)))
        throw AppError(QStringLiteral("Could not read %1: %2").arg(source, file.errorString()));
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line =
            QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        if (line.trimmed().isEmpty())
            continue;
        const QStringList cells = line.split(QLatin1Char('\t'));
        const employees::EmployeeFields fields{cells.value(0), cells.value(1), cells.value(2), cells.value(3),
                                               cells.value(4)};
        if (const auto message = employees::invalidNameMessage(fields))
            throw AppError(QStringLiteral("%1 on line %2 of %3").arg(*message).arg(lineNumber).arg(source));
        out(QString::number(employees::addEmployee(command, fields, QString())));
    }
    return 0;
}

} // namespace

int addEmployee(Arguments& args) {
    if (const std::optional<QString> from = args.option(QStringLiteral("from"))) {
        if (!args.positional().isEmpty())
            throw UsageError{QStringLiteral("add --from FILE takes no other arguments")};
        return addEmployeesFrom(*from);
    }
    employees::EmployeeFields fields;
    fields.firstName = args.option(QStringLiteral("first")).value_or(QString());
    fields.middleName = args.option(QStringLiteral("middle")).value_or(QString());
    fields.lastName = args.option(QStringLiteral("last")).value_or(QString());
    fields.title = args.option(QStringLiteral("title")).value_or(QString());
    fields.identification = args.option(QStringLiteral("code")).value_or(QString());
    const QString photo = args.option(QStringLiteral("photo")).value_or(QString());
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral("add takes only options: --first F --middle M --last L [--title T] "
                                        "[--code C] [--photo FILE]")};
    checkNames(fields);
    checkCode(fields.identification);
    checkPhoto(photo, fields.identification);
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    out(QString::number(employees::addEmployee(command, fields, photo)));
    return 0;
}

int updateEmployee(Arguments& args) {
    const std::optional<QString> first = args.option(QStringLiteral("first"));
    const std::optional<QString> middle = args.option(QStringLiteral("middle"));
    const std::optional<QString> last = args.option(QStringLiteral("last"));
    const std::optional<QString> title = args.option(QStringLiteral("title"));
    const std::optional<QString> code = args.option(QStringLiteral("code"));
    const QString photo = args.option(QStringLiteral("photo")).value_or(QString());
    const QStringList rest = args.positional();
    if (rest.size() != 1)
        throw UsageError{QStringLiteral("update takes one record number, then the options to change")};
    const std::optional<qint64> key = data::parseKey(rest.first());
    if (!key)
        throw UsageError{QStringLiteral("\"%1\" is not a record number").arg(rest.first())};
    data::Connection connection;
    connection.open();
    employees::EmployeeFields fields = storedEmployee(connection, *key);
    fields.firstName = first.value_or(fields.firstName);
    fields.middleName = middle.value_or(fields.middleName);
    fields.lastName = last.value_or(fields.lastName);
    fields.title = title.value_or(fields.title);
    // A code kept as it is is not checked again: older databases hold codes typed before the check.
    if (code && *code != fields.identification)
        checkCode(*code);
    fields.identification = code.value_or(fields.identification);
    checkNames(fields);
    checkPhoto(photo, fields.identification);
    data::Command command;
    command.setActiveConnection(&connection);
    employees::updateEmployee(command, QString::number(*key), fields, photo);
    return 0;
}

int photo(Arguments& args) {
    const std::optional<QString> target = args.option(QStringLiteral("out"));
    const QStringList rest = args.positional();
    if (rest.size() != 2 || rest.first() != QLatin1String("get") || !target)
        throw UsageError{QStringLiteral("usage: photo get CODE --out FILE")};
    const QString code = rest.at(1);
    if (code.isEmpty())
        throw AppError(QStringLiteral("Employees without a code have no photograph; give a code."));
    data::Connection connection;
    connection.open();
    data::Recordset rs;
    rs.open(QStringLiteral("SELECT * FROM Attachments WHERE (EmployeeIdentification=?)"), connection, {code});
    if (rs.eof() || rs.actualSize(QStringLiteral("Attachments")) == 0)
        throw AppError(QStringLiteral("No photograph is stored under the code \"%1\".").arg(code));
    const QByteArray bytes = rs.getChunk(QStringLiteral("Attachments"));
    data::OutputFile file(*target);
    file.open(QIODevice::Unbuffered);
    if (file.device().write(bytes) != bytes.size() || !file.commit())
        throw AppError(QStringLiteral("Could not write %1: %2").arg(*target, file.errorString()));
    return 0;
}

int company(Arguments& args) {
    const QStringList rest = args.positional();
    if (rest.size() == 2 && rest.first() == QLatin1String("set")) {
        writeCompanyName(companyFilePath(), rest.at(1));
        return 0;
    }
    if (rest.size() == 1 && rest.first() == QLatin1String("get")) {
        const std::optional<QString> name = readCompanyName(companyFilePath());
        if (!name)
            throw AppError(
                QStringLiteral("No company name has been set yet; set one with: company set NAME"));
        out(*name);
        return 0;
    }
    if (!rest.isEmpty() && rest.first() == QLatin1String("validity") && rest.size() <= 2) {
        if (rest.size() == 1) {
            out(QString::number(readValidityMonths(validityFilePath())));
            return 0;
        }
        const std::optional<int> months = parseValidityMonths(rest.at(1));
        if (!months)
            throw UsageError{
                QStringLiteral("company validity takes a number of months from 0 (no date) to %1")
                    .arg(MaxValidityMonths)};
        writeValidityMonths(validityFilePath(), *months);
        return 0;
    }
    throw UsageError{QStringLiteral("usage: company set NAME | company get | company validity [MONTHS]")};
}

} // namespace cli
