// What the operator types into the library's search box, read as terms that all must match: a word,
// a word ending in * (any word that begins so), or "an exact phrase" between double quotes. A word
// joined by punctuation (O'Brien, 2026-12) is a phrase of its parts, as the index splits it. Turned
// into each backend's own query, never pasted from the typed text.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace library {

struct QueryTerm {
    QStringList words; // one, or several for a phrase
    bool prefix = false;
};

// The terms; empty when the text holds no letter or digit.
std::vector<QueryTerm> parseQuery(const QString& text);

// For SQLite's FTS5 MATCH.
QString fts5Query(const std::vector<QueryTerm>& terms);
// For PostgreSQL's to_tsquery.
QString tsQuery(const std::vector<QueryTerm>& terms);

} // namespace library
