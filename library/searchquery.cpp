#include "library/searchquery.h"

namespace library {

namespace {

// Letters, digits and the accents that follow a letter form words; everything else parts them.
bool wordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

QStringList wordsOf(QStringView text) {
    QStringList words;
    QString word;
    for (const QChar c : text) {
        if (wordCharacter(c)) {
            word += c;
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

void addTerm(std::vector<QueryTerm>& terms, QStringView text, bool phrase) {
    const bool prefix = !phrase && text.endsWith(u'*');
    QStringList words = wordsOf(text);
    if (words.isEmpty())
        return;
    terms.push_back({words, prefix});
}

} // namespace

std::vector<QueryTerm> parseQuery(const QString& text) {
    std::vector<QueryTerm> terms;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i) == u'"') {
            const qsizetype end = text.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? text.size() : end;
            addTerm(terms, QStringView(text).mid(i + 1, stop - i - 1), true);
            i = stop + 1;
        } else if (text.at(i).isSpace()) {
            ++i;
        } else {
            qsizetype end = i;
            while (end < text.size() && !text.at(end).isSpace() && text.at(end) != u'"')
                ++end;
            addTerm(terms, QStringView(text).mid(i, end - i), false);
            i = end;
        }
    }
    return terms;
}

QString fts5Query(const std::vector<QueryTerm>& terms) {
    // Words hold only letters, digits and marks, so quoting them needs no escape.
    QStringList parts;
    for (const QueryTerm& term : terms)
        parts << u'"' + term.words.join(u' ') + u'"' + (term.prefix ? QStringLiteral("*") : QString());
    return parts.join(u' ');
}

QString tsQuery(const std::vector<QueryTerm>& terms) {
    QStringList parts;
    for (const QueryTerm& term : terms) {
        QStringList words;
        for (const QString& word : term.words)
            words << u'\'' + word + u'\'';
        if (term.prefix)
            words.last() += QStringLiteral(":*");
        parts << (words.size() > 1 ? u'(' + words.join(QStringLiteral(" <-> ")) + u')' : words.first());
    }
    return parts.join(QStringLiteral(" & "));
}

} // namespace library
