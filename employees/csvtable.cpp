// Reading CSV as spreadsheets and HR systems write it: the encoding by its byte-order mark or by whether
// it is valid UTF-8, the separator by Excel's "sep=" line or by counting, quoted fields (RFC 4180) that
// may hold separators, quotes and line breaks.
#include "employees/sheettable.h"

#include "app/windows1252.h"

namespace employees {

namespace {

// The separator that occurs most often outside quotes in the first line; a comma when none does.
QChar guessSeparator(const QString& text) {
    int counts[3] = {0, 0, 0};
    const QChar candidates[3] = {u',', u';', u'\t'};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted)
            for (int i = 0; i < 3; ++i)
                counts[i] += c == candidates[i];
    }
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (counts[i] > counts[best])
            best = i;
    return candidates[best];
}

} // namespace

SheetTable parseCsv(const QString& input) {
    QString text = input;
    int line = 1;
    QChar separator;
    // Excel writes "sep=;" as the first line when the separator is not the one the reader would expect.
    if (text.startsWith(QLatin1String("sep="), Qt::CaseInsensitive) && text.size() > 4 &&
        (text.size() == 5 || text.at(5) == u'\r' || text.at(5) == u'\n')) {
        separator = text.at(4);
        qsizetype next = 5;
        if (next < text.size() && text.at(next) == u'\r')
            ++next;
        if (next < text.size() && text.at(next) == u'\n')
            ++next;
        text = text.mid(next);
        line = 2;
    } else {
        separator = guessSeparator(text);
    }

    QList<QStringList> rows;
    QList<int> numbers;
    QStringList row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int rowLine = line;
    const auto endField = [&] {
        row.append(field);
        field.clear();
        fieldStarted = false;
    };
    const auto endRow = [&] {
        endField();
        rows.append(row);
        numbers.append(rowLine);
        row.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field.append(u'"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                // A line break inside a field is kept as one '\n', whichever way the file ends lines.
                if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                    continue;
                field.append(c == u'\r' ? QChar(u'\n') : c);
            }
            continue;
        }
        if (c == u'"' && !fieldStarted && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            endRow();
            ++line;
            rowLine = line;
        } else {
            field.append(c);
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !row.isEmpty())
        endRow();
    return tableFromRows(rows, numbers);
}

SheetTable tableFromRows(const QList<QStringList>& rows, const QList<int>& numbers) {
    SheetTable table;
    const auto blank = [](const QStringList& cells) {
        for (const QString& cell : cells)
            if (!cell.trimmed().isEmpty())
                return false;
        return true;
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (blank(rows.at(i)))
            continue;
        if (table.headings.isEmpty()) {
            table.headings = rows.at(i);
            continue;
        }
        table.rows.append(rows.at(i));
        table.lines.append(numbers.at(i));
    }
    return table;
}

} // namespace employees
