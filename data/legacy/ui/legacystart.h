// First start in the folder of an existing installation: Pellorin.mdb is there and Pellorin.db is
// not. Tells the operator, imports the Access file with a progress dialog (through the platform seam)
// and reports the outcome. Knows no window classes.
#pragma once

#include <QString>

class QObject;

namespace legacy::ui {

enum class StartOutcome {
    NothingToDo, // no Access file, or the program's database already exists
    Imported,    // the Access file's tables are now in the program's database
    Failed,      // the operator was told why; the folder is as it was
};

// Looks into the application directory and imports its Pellorin.mdb when Pellorin.db is missing.
StartOutcome takeOverExistingInstallation(QObject* parent);

// "Pellorin.mdb"
QString legacyDatabaseFileName();

} // namespace legacy::ui
