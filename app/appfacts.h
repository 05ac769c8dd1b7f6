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

// The folder that holds the data, as the program and the companion both choose it, in this order:
//  1. an explicit folder: --data-dir DIR, otherwise the environment variable PELLORIN_HOME;
//  2. the executable's folder when it already holds Pellorin.db (a portable installation);
//  3. the user's data folder, defaultDataDirectory(). When it holds no Pellorin.db but a folder that
//     an earlier version used does (earlierDataDirectories()), that folder's database, Company.txt and
//     temp/ are moved into it first; if they cannot be moved, the earlier folder is used as it is.
struct DataDirectory {
    QString path;
    bool named = false; // explicit: a missing folder is created only when the operator says so
    QString notice;     // what was done to find the data (moved from an earlier folder), for the operator
};
DataDirectory chooseDataDirectory(const QString& explicitDir, const QString& executableDir);
QString resolveApplicationDirectory(const QString& explicitDir, const QString& executableDir); // its path

// <user data folder>/Pellorin, e.g. ~/.local/share/Pellorin (XDG_DATA_HOME is honoured).
QString defaultDataDirectory();
// Where earlier versions kept the data: the program in <user data folder>/Pellorin/Pellorin, the
// companion in <user data folder>/pellorin-cli.
QStringList earlierDataDirectories();

// Picks "--data-dir DIR" or "--data-dir=DIR" out of the arguments; returns an empty text when absent.
QString dataDirArgument(const QStringList& arguments);
// The value of "OPTION VALUE" or "OPTION=VALUE" (such as --database); empty when absent.
QString optionArgument(const QStringList& arguments, const QString& option);

// Creates the application directory and its temp/ folder when missing. Throws AppError on failure; a
// read-only directory without temp/ is left as it is.
void ensureApplicationDirectory();

// application directory + "/temp"
QString tempDirectory();

} // namespace AppFacts
