// A table of text cells read from a file that HR exported: CSV as offices write it, an Excel workbook
// (.xlsx) or an OpenDocument spreadsheet (.ods). Every cell comes out as the text the spreadsheet shows,
// so an employee number 42 reads "42" and "00042" keeps its zeros. Knows nothing of employees; the
// caller decides which columns mean what.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace employees {

struct SheetTable {
    QStringList headings;    // the first row that holds anything
    QList<QStringList> rows; // the rows after it, empty rows left out
    QList<int> lines;        // for each row, the line (CSV) or row number (spreadsheets) it starts on
    QString sheet;           // the sheet read; empty for CSV
};

// The sheets of a workbook in their order; empty for CSV. Throws AppError naming the file when it
// cannot be read.
QStringList sheetNames(const QString& path);

// Reads the file, choosing the reader by its content (a zip is a workbook) and its name. sheet names
// the sheet to read; empty takes the first. Throws AppError naming the file and the cause (not readable,
// no such sheet, damaged).
SheetTable readSheetTable(const QString& path, const QString& sheet = {});

SheetTable parseCsv(const QString& text);

// Turns the rows of a sheet (cells by position, row numbers beside them) into a SheetTable.
SheetTable tableFromRows(const QList<QStringList>& rows, const QList<int>& numbers);

} // namespace employees
