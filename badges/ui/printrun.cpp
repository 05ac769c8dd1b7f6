#include "badges/ui/printrun.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "badges/badgeprinting.h"
#include "badges/ui/form3.h"
#include "employees/companyfile.h"
#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

namespace badges::ui {

namespace {

enum Place { FirstName = 1, MiddleName = 2, LastName = 3, Title = 4, Code = 5 };

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
    // What the list shows now, not a new query: the badges match what the operator chose from.
    const EmployeeListModel* model = explorer.listModel();
    const QItemSelectionModel* selection = explorer.LstStudenInformation()->selectionModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (selectedOnly && !selection->isRowSelected(row, QModelIndex()))
            continue;
        auto* badge = new Form3();
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
