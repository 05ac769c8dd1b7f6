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

QString resolveApplicationDirectory(const QString& explicitDir, const QString& executableDir) {
    if (!explicitDir.isEmpty())
        return QDir::cleanPath(QDir(explicitDir).absolutePath());
    const QString fromEnvironment = qEnvironmentVariable("PELLORIN_HOME");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(QDir(fromEnvironment).absolutePath());
    if (!executableDir.isEmpty() && QFileInfo::exists(QDir(executableDir).filePath(databaseFileName())))
        return QDir::cleanPath(executableDir);
    QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (userDir.isEmpty())
        userDir = QDir::home().filePath(QStringLiteral(".local/share/Pellorin"));
    return QDir::cleanPath(userDir);
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
    if (!QDir().mkpath(tempDirectory()))
        throw AppError(QStringLiteral("Could not create the folder %1: check that %2 is writable.")
                           .arg(QDir::toNativeSeparators(tempDirectory()), QDir::toNativeSeparators(dir)));
}

} // namespace AppFacts
