#include "app/ui/datafolderstart.h"

#include "app/apperror.h"
#include "app/platform.h"

#include <QDir>
#include <QFileInfo>

bool startInDataDirectory(const AppFacts::DataDirectory& dir) {
    Platform& platform = Platform::instance();
    const QString title = AppFacts::applicationTitle();
    AppFacts::setApplicationDirectory(dir.path);
    if (!dir.notice.isEmpty())
        platform.information(nullptr, dir.notice, title);
    // A mistyped --data-dir would otherwise start an empty database, and the list would look emptied.
    if (dir.named && !QFileInfo(dir.path).isDir()) {
        const QString question =
            QStringLiteral(
                "The data folder %1 does not exist.\n\nCreate it and start with an empty database? "
                "Choose No to end, then check the folder given with --data-dir or PELLORIN_HOME.")
                .arg(QDir::toNativeSeparators(dir.path));
        if (platform.messageBox(nullptr, question, title, Platform::Icon::Question,
                                Platform::Yes | Platform::No, Platform::No) != Platform::Yes)
            return false;
    }
    try {
        AppFacts::ensureApplicationDirectory();
    } catch (const AppError& error) {
        platform.critical(nullptr, error.description(), title);
        return false;
    }
    return true;
}
