// Starts Pellorin: chooses the application directory, installs the desktop platform and opens the
// main window, which opens the first employee explorer.
#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/ui/datafolderstart.h"
#include "app/ui/guardedapplication.h"
#include "app/ui/helpmenu.h"
#include "app/ui/mdiform1.h"
#include "app/ui/qtplatform.h"
#include "app/ui/writewaitnotice.h"
#include "badges/ui/frmbadgehistory.h"
#include "badges/ui/printrun.h"
#include "data/connectionstring.h"
#include "data/databaseinuse.h"
#include "data/legacy/ui/legacystart.h"
#include "employees/ui/employeewindows.h"
#include "employees/ui/firststarthints.h"
#include "employees/ui/form2.h"
#include "library/ui/backgroundindexer.h"

#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {
bool given(int argc, char* argv[], const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}
} // namespace

int main(int argc, char* argv[]) {
    // Answered before the application object exists: that needs a display, and these must work in a
    // terminal without one (package checks, scripts, a remote shell).
    if (given(argc, argv, "--help")) {
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
    if (given(argc, argv, "--version")) {
        std::printf("Pellorin %s\n", qPrintable(AppFacts::version()));
        return 0;
    }

    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellorin"));
    QApplication::setOrganizationName(QStringLiteral("Pellorin"));
    QApplication::setApplicationVersion(AppFacts::version());
    QApplication::setDesktopFileName(QStringLiteral("org.pellorin.Pellorin"));
    QIcon icon;
    for (int size : {16, 32, 64, 256})
        icon.addFile(QStringLiteral(":/icons/pellorin-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    const QStringList arguments = QApplication::arguments();

    QtPlatform platform;
    Platform::install(&platform);
    installWriteWaitNotice();

    if (!startInDataDirectory(AppFacts::chooseDataDirectory(AppFacts::dataDirArgument(arguments),
                                                            QApplication::applicationDirPath())))
        return 1;
    // Before the import of an existing installation, which goes into the database named here.
    data::setConfiguredConnectionString(AppFacts::optionArgument(arguments, QStringLiteral("--database")));
    if (legacy::ui::takeOverExistingInstallation(nullptr) == legacy::ui::StartOutcome::Failed)
        return 1;
    Form2::setPrintRun(badges::ui::runPrint);
    Form2::setBadgeHistory(badges::ui::openBadgeHistory);
    Help::setAboutFacts([] {
        return Help::AboutFacts{data::describeDatabaseInUse(), data::sqliteLibraryVersion()};
    });
    Form2::setPrintMenu(badges::ui::addPrintMenu);
    MDIForm1 mainWindow(employeeWindowFactories());
    installFirstStartHints(mainWindow);
    mainWindow.show();
    // Versions stored before the library kept their text are read while the operator works.
    library::ui::BackgroundIndexer::start();
    return QApplication::exec();
}
