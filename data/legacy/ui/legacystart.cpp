#include "data/legacy/ui/legacystart.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "data/connectionstring.h"
#include "data/legacy/importtarget.h"

#include <QDir>
#include <QFileInfo>

namespace legacy::ui {

QString legacyDatabaseFileName() {
    return QStringLiteral("Pellorin.mdb");
}

StartOutcome takeOverExistingInstallation(QObject* parent) {
    const QDir folder(AppFacts::applicationDirectory());
    const QString mdb = folder.filePath(legacyDatabaseFileName());
    // The database in use, also when --database names another file or a server.
    const QString connection = data::connectionString();
    if (!QFileInfo::exists(mdb) || !databaseIsNew(connection))
        return StartOutcome::NothingToDo;
    const QString db = describeTarget(connection);

    Platform& platform = Platform::instance();
    const QString title = AppFacts::applicationTitle();
    platform.information(
        parent,
        QStringLiteral("Pellorin found the database of an existing installation:\n%1\n\n"
                       "Its employees, photographs, folders and documents will now be copied "
                       "into %2. The Access file itself is only read and stays as it is.")
            .arg(QDir::toNativeSeparators(mdb), db),
        title);
    constexpr int Steps = 1000;
    std::unique_ptr<ProgressReport> progress = platform.startProgress(
        parent, QStringLiteral("Copying %1 ...").arg(legacyDatabaseFileName()), title, Steps);
    ImportOptions options;
    options.progress = [&progress](int permille) { return progress->update(permille); };
    try {
        const ImportSummary summary = importMdbInto(mdb, connection, options);
        progress.reset();
        platform.information(parent, summaryLines(summary).join(QLatin1Char('\n')), title);
        return StartOutcome::Imported;
    } catch (const AppError& error) {
        progress.reset();
        platform.critical(
            parent,
            error.description() +
                QStringLiteral("\n\nPellorin ends now without creating a database, so the import is "
                               "offered again at the next start."),
            title);
        return StartOutcome::Failed;
    }
}

} // namespace legacy::ui
