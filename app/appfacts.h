// Application-wide facts: titles, version and the application directory that holds the database,
// Company.txt and temp/. Knows nothing of windows or of the database.
#pragma once

#include <QString>
#include <QStringList>

namespace AppFacts {

QString applicationTitle(); // title of message and input boxes that name no title of their own
QString productName();      // title of the editor's input checks
QString version();          // "1.2.0.0"
QString versionString();    // "1.02"
QString databaseFileName(); // "Pellorin.db"
QString companyFileName();  // "Company.txt"

// The folder in use. Resolved once at start (see resolveApplicationDirectory); tests set it directly.
QString applicationDirectory();
void setApplicationDirectory(const QString& dir);

// Chooses the application directory, in this order: an explicit folder (--data-dir or PELLORIN_HOME),
// the executable's folder when it already holds the database (a portable installation), otherwise the
// user's data folder.
QString resolveApplicationDirectory(const QString& explicitDir, const QString& executableDir);

// Picks "--data-dir DIR" or "--data-dir=DIR" out of the arguments; returns an empty text when absent.
QString dataDirArgument(const QStringList& arguments);
// The value of "OPTION VALUE" or "OPTION=VALUE" (such as --database); empty when absent.
QString optionArgument(const QStringList& arguments, const QString& option);

// Creates the application directory and its temp/ folder when missing. Throws AppError on failure.
void ensureApplicationDirectory();

// application directory + "/temp"
QString tempDirectory();

} // namespace AppFacts
