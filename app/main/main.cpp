// Starts Pellorin: chooses the application directory, installs the desktop platform and opens the
// main window, which opens the first employee explorer.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/ui/datafolderstart.h"
#include "app/ui/guardedapplication.h"
#include "app/ui/mdiform1.h"
#include "app/ui/qtplatform.h"
#include "badges/ui/printrun.h"
#include "data/connectionstring.h"
#include "data/legacy/ui/legacystart.h"
#include "employees/ui/employeewindows.h"
#include "employees/ui/form2.h"
#include "library/ui/backgroundindexer.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellorin"));
    QApplication::setOrganizationName(QStringLiteral("Pellorin"));
    QApplication::setApplicationVersion(AppFacts::version());

    const QStringList arguments = QApplication::arguments();
    if (arguments.contains(QLatin1String("--help"))) {
        std::printf("Usage: Pellorin [--data-dir DIR] [--database CONNECTION]\n"
                    "  --data-dir DIR  folder that holds Pellorin.db, Company.txt and temp/\n"
                    "                  (also PELLORIN_HOME); without it, the program's own folder when it\n"
                    "                  holds the database, otherwise ~/.local/share/Pellorin, the folder\n"
                    "                  that pellorin-cli uses too. A named folder that does not exist is\n"
                    "                  created only when you agree.\n"
                    "  --database CONNECTION\n"
                    "                  a shared database instead of Pellorin.db (also PELLORIN_DATABASE, or\n"
                    "                  ConnectionString= in Pellorin.ini in the data folder), e.g.\n"
                    "                  \"Provider=PostgreSQL;Host=H;Port=5432;Database=D;User ID=U;\"\n");
        return 0;
    }
    if (arguments.contains(QLatin1String("--version"))) {
        std::printf("Pellorin %s\n", qPrintable(AppFacts::version()));
        return 0;
    }

    QtPlatform platform;
    Platform::install(&platform);

    if (!startInDataDirectory(AppFacts::chooseDataDirectory(AppFacts::dataDirArgument(arguments),
                                                            QApplication::applicationDirPath())))
        return 1;
    if (legacy::ui::takeOverExistingInstallation(nullptr) == legacy::ui::StartOutcome::Failed)
        return 1;

    data::setConfiguredConnectionString(AppFacts::optionArgument(arguments, QStringLiteral("--database")));
    Form2::setPrintRun(badges::ui::runPrint);
    MDIForm1 mainWindow(employeeWindowFactories());
    mainWindow.show();
    // Versions stored before the library kept their text are read while the operator works.
    library::ui::BackgroundIndexer::start();
    return QApplication::exec();
}
