#include "employees/ui/companyprompt.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "app/ui/statusnotice.h"
#include "employees/companyfile.h"

#include <QWidget>

namespace employees::ui {

bool askCompanyName(QWidget* parent) {
    const QString path = companyFilePath();
    try {
        // The stored name is offered, so keeping it is one keystroke; Cancel leaves the file alone.
        const QString stored = readCompanyName(path).value_or(QString());
        const std::optional<QString> typed = Platform::instance().inputBox(
            parent, QStringLiteral("Enter company name"), AppFacts::applicationTitle(), stored);
        if (!typed)
            return false;
        writeCompanyName(path, *typed);
        StatusNotices::post(typed->trimmed().isEmpty()
                                ? QObject::tr("The company name is now empty: badges show no company")
                                : QObject::tr("Company name set to \"%1\"").arg(typed->simplified()));
        return true;
    } catch (const AppError& error) {
        ChildWindows::reportError(parent, error.description());
        return false;
    }
}

} // namespace employees::ui
