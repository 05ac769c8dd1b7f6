// The commands of the command-line companion; each returns the exit status.
#pragma once

#include "cli/cli.h"
#include "cli/output.h"
#include "transfer/clsbinaryfunctions.h"

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
int listLayouts(Arguments& args);
int printerCorrection(Arguments& args);
int backText(Arguments& args);
int copyDatabase(Arguments& args);
int attachments(Arguments& args);
// Prints the rows of the statement whose stored file holds the text: key, name, version, read from the
// columns given.
int searchStoredFiles(const QString& text, bool exactCase, const QString& statement,
                      const StoredFileColumns& columns = StoredFileColumns());
int library(Arguments& args);
// The library's text index, review dates and audit trail.
int findDocuments(const QString& query, Format format);
int reindexDocuments();
int reviewDocument(qint64 documentId, const QString& date);
int dueDocuments(int withinDays);
int documentHistory(qint64 documentId);
int checkDatabase(Arguments& args);
int backupDatabase(Arguments& args);
int importMdb(Arguments& args);
int history(Arguments& args);
int expiring(Arguments& args);
int importEmployees(Arguments& args);
int exportEmployees(Arguments& args);

} // namespace cli
