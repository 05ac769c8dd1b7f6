#include "app/appfacts.h"

#include "app/apperror.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppFacts {

namespace {
QString& currentDirectory() {
    static QString dir;
    return dir;
}
} // namespace

QString applicationTitle() {
    return QStringLiteral("Pellorin Client 2008");
}
QString productName() {
    return QStringLiteral("Pellorin");
}
QString version() {
    return QStringLiteral("1.2.0.0");
}
QString versionString() {
    return QStringLiteral("1.02");
}
QString databaseFileName() {
    return QStringLiteral("Pellorin.db");
}
QString companyFileName() {
    return QStringLiteral("Company.txt");
}

QString applicationDirectory() {
    if (currentDirectory().isEmpty())
        currentDirectory() = resolveApplicationDirectory(QString(), QString());
    return currentDirectory();
}

void setApplicationDirectory(const QString& dir) {
    currentDirectory() = QDir::cleanPath(QDir(dir).absolutePath());
}

QString defaultDataDirectory() {
    // Not AppDataLocation: that follows the running program's own name, which gave the program and the
    // companion two different folders.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::home().filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("Pellorin")));
}

QStringList earlierDataDirectories() {
    const QDir base = QFileInfo(defaultDataDirectory()).dir();
    return {QDir::cleanPath(base.filePath(QStringLiteral("Pellorin/Pellorin"))),
            QDir::cleanPath(base.filePath(QStringLiteral("pellorin-cli")))};
}

namespace {

bool holdsDatabase(const QString& dir) {
    return QFileInfo::exists(QDir(dir).filePath(databaseFileName()));
}

// Moves the database with its log files (all or none), then Company.txt and temp/ where the new folder
// has none of its own. Returns false, with everything back in place, when the database cannot move.
bool moveData(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        return false;
    const QString db = databaseFileName();
    QStringList moved;
    for (const QString& name : {db + QStringLiteral("-wal"), db + QStringLiteral("-shm"), db}) {
        const QString source = QDir(from).filePath(name);
        if (!QFileInfo::exists(source))
            continue;
        if (QFileInfo::exists(QDir(to).filePath(name)) || !QFile::rename(source, QDir(to).filePath(name))) {
            for (const QString& back : std::as_const(moved))
                QFile::rename(QDir(to).filePath(back), QDir(from).filePath(back));
            return false;
        }
        moved << name;
    }
    for (const QString& name : {companyFileName(), QStringLiteral("temp")})
        if (QFileInfo::exists(QDir(from).filePath(name)) && !QFileInfo::exists(QDir(to).filePath(name)))
            QDir().rename(QDir(from).filePath(name), QDir(to).filePath(name));
    QDir().rmdir(from); // only when nothing is left in it
    return true;
}

} // namespace

DataDirectory chooseDataDirectory(const QString& explicitDir, const QString& executableDir) {
    if (!explicitDir.isEmpty())
        return {QDir::cleanPath(QDir(explicitDir).absolutePath()), true, QString()};
    const QString fromEnvironment = qEnvironmentVariable("PELLORIN_HOME");
    if (!fromEnvironment.isEmpty())
        return {QDir::cleanPath(QDir(fromEnvironment).absolutePath()), true, QString()};
    // An existing installation keeps Pellorin.mdb beside the program; its data is taken over there.
    if (!executableDir.isEmpty() &&
        (holdsDatabase(executableDir) ||
         QFileInfo::exists(QDir(executableDir).filePath(QStringLiteral("Pellorin.mdb")))))
        return {QDir::cleanPath(executableDir), false, QString()};
    const QString target = defaultDataDirectory();
    if (holdsDatabase(target))
        return {target, false, QString()};
    QStringList earlier;
    for (const QString& dir : earlierDataDirectories())
        if (holdsDatabase(dir))
            earlier << dir;
    if (earlier.isEmpty())
        return {target, false, QString()};
    const QString from = earlier.takeFirst();
    DataDirectory chosen{target, false, QString()};
    if (moveData(from, target)) {
        chosen.notice =
            QStringLiteral("Pellorin now keeps its data in %1; the data found in %2 was moved there.")
                .arg(QDir::toNativeSeparators(target), QDir::toNativeSeparators(from));
    } else {
        chosen.path = from;
        chosen.notice = QStringLiteral("The data in %1 could not be moved to %2, so it is used where it is. "
                                       "Move it there when no copy of Pellorin is running.")
                            .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(target));
    }
    for (const QString& other : std::as_const(earlier))
        chosen.notice += QStringLiteral(" Another database, made by an earlier version, stays in %1; use "
                                        "--data-dir %1 to reach it.")
                             .arg(QDir::toNativeSeparators(other));
    return chosen;
}

QString resolveApplicationDirectory(const QString& explicitDir, const QString& executableDir) {
    return chooseDataDirectory(explicitDir, executableDir).path;
}

QString dataDirArgument(const QStringList& arguments) {
    return optionArgument(arguments, QStringLiteral("--data-dir"));
}

QString optionArgument(const QStringList& arguments, const QString& option) {
    const QString withValue = option + QLatin1Char('=');
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == option && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (arg.startsWith(withValue))
            return arg.mid(withValue.size());
    }
    return QString();
}

QString tempDirectory() {
    return QDir(applicationDirectory()).filePath(QStringLiteral("temp"));
}

void ensureApplicationDirectory() {
    const QString dir = applicationDirectory();
    if (!QDir().mkpath(dir))
        throw AppError(QStringLiteral("Could not create the application folder %1: check that the parent "
                                      "folder exists and is writable, or choose another with --data-dir.")
                           .arg(QDir::toNativeSeparators(dir)));
    // Data on read-only media is still read; what needs temp/ there reports it when it cannot make it.
    if (!QDir().mkpath(tempDirectory()) && QFileInfo(dir).isWritable())
        throw AppError(QStringLiteral("Could not create the folder %1: check that %2 is writable.")
                           .arg(QDir::toNativeSeparators(tempDirectory()), QDir::toNativeSeparators(dir)));
}

} // namespace AppFacts
