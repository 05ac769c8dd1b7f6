// Rows written for whoever reads them: the readable default for a terminal, or a format that a script
// reads back exactly (--format tsv|csv|json).
#pragma once

#include "cli/cli.h"

#include <QVariantList>

namespace cli {

enum class Format {
    Text, // tab-separated; tabs, line breaks and other control characters inside values become blanks
    Tsv,  // tab-separated with a header; \\ \t \n \r escaped, \N for no value
    Csv,  // RFC 4180 with a header; fields holding a comma, quote or line break are quoted
    Json, // {"columns": [...], "rows": [[...], ...]}; no value is null
};

// Takes --format from the arguments; Text when absent. Throws UsageError for an unknown name.
Format takeFormat(Arguments& args);

// Long binary values are written as base64 text (in JSON as {"base64": "..."}); Text shows their size.
class RowWriter {
public:
    // The header goes out at once; Text writes it only when textHeader is set.
    RowWriter(Format format, const QStringList& columns, bool textHeader);
    void row(const QVariantList& cells);
    void finish(); // closes the JSON document

private:
    Format m_format;
    bool m_firstRow = true;
};

} // namespace cli
