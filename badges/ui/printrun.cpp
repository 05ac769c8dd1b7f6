#include "badges/ui/printrun.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "badges/badgeprinting.h"
#include "badges/ledger.h"
#include "badges/ui/form3.h"
#include "badges/ui/reprintreason.h"
#include "data/connection.h"
#include "employees/badgevalidity.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

namespace badges::ui {

namespace {

enum Place { Key = 0, FirstName = 1, MiddleName = 2, LastName = 3, Title = 4, Code = 5 };

// The run's badges printed before, and why they are printed again: asked once for the whole run.
// Nothing when the operator cancels or the ledger cannot be read (then said so).
std::optional<std::pair<QStringList, ReprintReason>>
askForReprints(Form2& explorer, const EmployeeListModel& model, const QList<int>& rows) {
    QStringList codes;
    for (int row : rows)
        codes.append(model.cell(row, Code));
    QHash<QString, ledger::PrintHistory> histories;
    try {
        data::Connection connection;
        connection.open();
        histories = ledger::printHistories(connection, codes);
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer,
                                  QStringLiteral("No badges were opened. %1").arg(error.description()));
        return std::nullopt;
    }
    if (histories.isEmpty())
        return std::pair{QStringList(), ReprintReason()};
    QStringList lines;
    bool renewal = false;
    for (int row : rows) {
        const auto found = histories.constFind(model.cell(row, Code));
        if (found == histories.constEnd())
            continue;
        lines.append(QStringLiteral("%1 (%2): %3")
                         .arg(badgeName(model.cell(row, FirstName), model.cell(row, MiddleName),
                                        model.cell(row, LastName))
                                  .simplified(),
                              model.cell(row, Code), found->summary()));
        renewal = renewal || found->dueForRenewal();
    }
    const std::optional<ReprintReason> reason = askReprintReason(&explorer, lines, renewal);
    if (!reason)
        return std::nullopt;
    return std::pair{histories.keys(), *reason};
}

} // namespace

void runPrint(Form2& explorer, bool selectedOnly) {
    std::optional<QString> company;
    try {
        company = readCompanyName(companyFilePath());
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer, error.description());
        return;
    }
    if (!company) {
        // Without a company name every badge would go out blank at the top; say what to do instead of
        // doing nothing.
        Platform::instance().information(
            &explorer,
            QStringLiteral("No company name has been set yet, so no badges were "
                           "opened. Use File > Add/Edit Company to enter the name "
                           "that the badges carry, then print again."),
            AppFacts::applicationTitle());
        return;
    }
    int validityMonths = 0;
    try {
        validityMonths = readValidityMonths(validityFilePath());
    } catch (const AppError& error) {
        ChildWindows::reportError(&explorer, error.description());
        return;
    }
    // What the list shows now, not a new query: the badges match what the operator chose from.
    const EmployeeListModel* model = explorer.listModel();
    const QItemSelectionModel* selection = explorer.LstStudenInformation()->selectionModel();
    QList<int> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        if (!selectedOnly || selection->isRowSelected(row, QModelIndex()))
            rows.append(row);
    const auto reprints = askForReprints(explorer, *model, rows);
    if (!reprints)
        return;
    for (int row : std::as_const(rows)) {
        auto* badge = new Form3();
        badge->setRecordId(model->cell(row, Key).toLongLong());
        badge->setValidityMonths(validityMonths);
        if (reprints->first.contains(model->cell(row, Code)))
            badge->setReprintReason(reprints->second.reason, reprints->second.note);
        badge->label1()->setText(*company);
        badge->label2()->setText(
            badgeName(model->cell(row, FirstName), model->cell(row, MiddleName), model->cell(row, LastName)));
        badge->label3()->setText(model->cell(row, Title));
        badge->setEmployeeId(model->cell(row, Code));
        badge->setAccessibleName(QStringLiteral("Badge: %1").arg(badge->label2()->text()));
        ChildWindows::show(badge, true);
    }
}

} // namespace badges::ui
