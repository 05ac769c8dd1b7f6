// The commands of the command-line companion; each returns the exit status.
#pragma once

#include "cli/cli.h"

namespace cli {

int listEmployees(Arguments& args);
int deleteEmployees(Arguments& args);
int runSql(Arguments& args);
int addEmployee(Arguments& args);
int updateEmployee(Arguments& args);
int photo(Arguments& args);
int company(Arguments& args);
int drawBarcode(Arguments& args);
int writeBadge(Arguments& args);
int printBadges(Arguments& args);
int copyDatabase(Arguments& args);
int attachments(Arguments& args);
// Prints the rows of the statement whose stored file holds the text: key, name, version.
int searchStoredFiles(const QString& text, bool exactCase, const QString& statement);
int library(Arguments& args);
int checkDatabase(Arguments& args);
int backupDatabase(Arguments& args);
int importMdb(Arguments& args);
int importEmployees(Arguments& args);
int exportEmployees(Arguments& args);

} // namespace cli
