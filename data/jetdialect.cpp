#include "data/jetdialect.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace data {
namespace {

// Numbers are read as words: no rule looks inside them, and the text is rebuilt unchanged.
enum class Kind { Space, Word, Bracketed, SingleQuoted, DoubleQuoted, Punct };

struct Token {
    Kind kind = Kind::Space;
    QString text;
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// A quoted run ends at the first closing quote that is not doubled. An unterminated run takes the rest of
// the text, so broken input leaves the translator as it came in and the database reports it.
qsizetype quotedEnd(const QString& sql, qsizetype start, QChar close) {
    for (qsizetype i = start + 1; i < sql.size(); ++i) {
        if (sql[i] != close)
            continue;
        if (close != u']' && i + 1 < sql.size() && sql[i + 1] == close)
            ++i;
        else
            return i + 1;
    }
    return sql.size();
}

QList<Token> tokenize(const QString& sql) {
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        qsizetype end = i + 1;
        Kind kind = Kind::Punct;
        if (c.isSpace()) {
            kind = Kind::Space;
            while (end < sql.size() && sql[end].isSpace())
                ++end;
        } else if (isWordChar(c)) {
            kind = Kind::Word;
            while (end < sql.size() && isWordChar(sql[end]))
                ++end;
        } else if (c == u'[') {
            kind = Kind::Bracketed;
            end = quotedEnd(sql, i, u']');
        } else if (c == u'\'') {
            kind = Kind::SingleQuoted;
            end = quotedEnd(sql, i, c);
        } else if (c == u'"') {
            kind = Kind::DoubleQuoted;
            end = quotedEnd(sql, i, c);
        }
        tokens.append({kind, sql.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

QString keyword(const Token& t) {
    return t.kind == Kind::Word ? t.text.toUpper() : QString();
}

bool isName(const Token& t) {
    return t.kind == Kind::Word || t.kind == Kind::Bracketed;
}

// What stands between the delimiters, with doubled quotes collapsed.
QString unquoted(const Token& t) {
    const QChar open = t.text.front();
    const QChar close = open == u'[' ? u']' : open;
    const bool closed = t.text.size() >= 2 && t.text.back() == close;
    QString inner = t.text.mid(1, t.text.size() - (closed ? 2 : 1));
    if (open != u'[')
        inner.replace(QString(2, open), QString(open));
    return inner;
}

QString quoted(QString text, QChar quote) {
    text.replace(quote, QString(2, quote));
    return quote + text + quote;
}

qsizetype nextSolid(const QList<Token>& tokens, qsizetype i) {
    while (i < tokens.size() && tokens[i].kind == Kind::Space)
        ++i;
    return i;
}

// The statement's verb, past the parentheses that may wrap a SELECT.
qsizetype verbIndex(const QList<Token>& tokens) {
    qsizetype i = nextSolid(tokens, 0);
    while (i < tokens.size() && tokens[i].text == u"(")
        i = nextSolid(tokens, i + 1);
    return i;
}

// Jet names what to delete ("*" or columns) between DELETE and FROM; SQLite and PostgreSQL always delete
// whole rows and refuse the list.
void dropDeleteList(QList<Token>& tokens, qsizetype verb) {
    qsizetype from = verb + 1;
    while (from < tokens.size() && keyword(tokens[from]) != u"FROM")
        ++from;
    if (from == tokens.size() || nextSolid(tokens, verb + 1) == from)
        return;
    tokens.remove(verb + 1, from - verb - 1);
    tokens.insert(verb + 1, Token{Kind::Space, QStringLiteral(" ")});
}

// The editor's UPDATE names its targets "SET Table.Column = ...", which Jet accepts; SQLite and PostgreSQL
// only take a bare column there. Only names that start an assignment lose their qualifier; the values and the
// WHERE clause keep theirs, which both accept.
void unqualifySetTargets(QList<Token>& tokens, qsizetype verb) {
    int depth = 0;
    bool inSet = false;
    bool atTarget = false;
    for (qsizetype i = verb + 1; i < tokens.size(); ++i) {
        if (tokens[i].kind == Kind::Space)
            continue;
        if (atTarget && isName(tokens[i]) && i + 2 < tokens.size() && tokens[i + 1].text == u"." &&
            isName(tokens[i + 2]))
            tokens.remove(i, 2);
        atTarget = false;
        const QString text = tokens[i].text;
        const QString kw = keyword(tokens[i]);
        if (text == u"(")
            ++depth;
        else if (text == u")")
            --depth;
        else if (depth == 0 && kw == u"SET")
            inSet = atTarget = true;
        else if (depth == 0 && inSet && text == u",")
            atTarget = true;
    }
}

// PostgreSQL folds unquoted names to lower case (ASCII only); a bracketed name has to land on the same
// table as the unbracketed spelling of it elsewhere in the statement, as it does in Access.
QString foldedName(QString name) {
    for (QChar& c : name) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return name;
}

// Jet's LIKE ignores letter case. PostgreSQL refuses LIKE on the case-insensitive collation of the text
// columns, so the left operand gets the plain ICU collation and the match becomes ILIKE ("x NOT LIKE y"
// becomes "x COLLATE ... NOT ILIKE y"). COLLATE binds to the operand just before it.
void caseInsensitiveLike(QList<Token>& tokens) {
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (keyword(tokens[i]) != u"LIKE")
            continue;
        tokens[i].text = QStringLiteral("ILIKE");
        qsizetype at = i;
        qsizetype before = i - 1;
        while (before >= 0 && tokens[before].kind == Kind::Space)
            --before;
        if (before >= 0 && keyword(tokens[before]) == u"NOT")
            at = before;
        tokens.insert(at, Token{Kind::Word, QStringLiteral("COLLATE \"und-x-icu\" ")});
        ++i;
    }
}

// Access sorts Null before every value going up and after every value going down; PostgreSQL does the
// opposite unless told. Each ORDER BY item gets its NULLS rule, also inside subqueries.
void accessNullOrder(QList<Token>& tokens) {
    std::vector<std::pair<qsizetype, bool>> inserts; // after token index, descending
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (keyword(tokens[i]) != u"ORDER")
            continue;
        const qsizetype by = nextSolid(tokens, i + 1);
        if (by == tokens.size() || keyword(tokens[by]) != u"BY")
            continue;
        int depth = 0;
        qsizetype lastSolid = -1;
        bool hasNulls = false;
        const auto endItem = [&] {
            if (lastSolid >= 0 && !hasNulls)
                inserts.emplace_back(lastSolid, keyword(tokens[lastSolid]) == u"DESC");
            lastSolid = -1;
            hasNulls = false;
        };
        qsizetype j = by + 1;
        for (; j < tokens.size(); ++j) {
            const Token& t = tokens[j];
            const QString kw = keyword(t);
            if (t.kind == Kind::Space)
                continue;
            if (t.text == u"(") {
                ++depth;
            } else if (t.text == u")") {
                if (--depth < 0)
                    break;
            } else if (depth == 0 && (t.text == u",")) {
                endItem();
                continue;
            } else if (depth == 0 && (t.text == u";" || kw == u"LIMIT" || kw == u"OFFSET" || kw == u"FOR")) {
                break;
            }
            hasNulls |= kw == u"NULLS";
            lastSolid = j;
        }
        endItem();
        i = j - 1;
    }
    std::sort(inserts.begin(), inserts.end());
    for (auto it = inserts.rbegin(); it != inserts.rend(); ++it)
        tokens.insert(it->first + 1, Token{Kind::Word, it->second ? QStringLiteral(" NULLS LAST")
                                                                  : QStringLiteral(" NULLS FIRST")});
}

QString rewritten(const QList<Token>& tokens, qsizetype i, Backend backend) {
    const Token& t = tokens[i];
    switch (t.kind) {
    case Kind::DoubleQuoted:
        // Jet reads "Root" as text. SQLite would read it as a column first and only fall back to text
        // when no column has that name.
        return quoted(unquoted(t), u'\'');
    case Kind::Bracketed:
        // SQLite reads [name] as a name on its own, and never mistakes it for text the way it would a
        // double-quoted name that matches no column.
        if (backend == Backend::SQLite)
            return t.text;
        return quoted(foldedName(unquoted(t)), u'"');
    case Kind::Word: {
        const QString kw = keyword(t);
        const bool qualified = i > 0 && tokens[i - 1].text == u".";
        if ((kw == u"TRUE" || kw == u"FALSE") && !qualified) {
            if (backend == Backend::PostgreSQL)
                return kw;
            return kw == u"TRUE" ? QStringLiteral("1") : QStringLiteral("0");
        }
        return t.text;
    }
    case Kind::Punct:
        // Jet has no comments: "--" is two minus signs, which SQLite and PostgreSQL would take as the
        // start of a comment that swallows the rest of the line.
        if (t.text == u"-" && i + 1 < tokens.size() && tokens[i + 1].text == u"-")
            return QStringLiteral("- ");
        return t.text;
    case Kind::Space:
    case Kind::SingleQuoted:
        break;
    }
    return t.text;
}

} // namespace

QString translateJet(const QString& jetSql, Backend backend) {
    QList<Token> tokens = tokenize(jetSql);
    const qsizetype verb = verbIndex(tokens);
    const QString kw = verb < tokens.size() ? keyword(tokens[verb]) : QString();
    if (kw == u"DELETE")
        dropDeleteList(tokens, verb);
    else if (kw == u"UPDATE")
        unqualifySetTargets(tokens, verb);
    if (backend == Backend::PostgreSQL) {
        caseInsensitiveLike(tokens);
        accessNullOrder(tokens);
    }

    QString sql;
    sql.reserve(jetSql.size() + 8);
    for (qsizetype i = 0; i < tokens.size(); ++i)
        sql += rewritten(tokens, i, backend);
    return sql;
}

QString statementTable(const QString& sql) {
    const QList<Token> tokens = tokenize(sql);
    const auto isTableName = [](const Token& t) { return isName(t) || t.kind == Kind::DoubleQuoted; };
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString kw = keyword(tokens[i]);
        if (kw != u"FROM" && kw != u"INTO" && kw != u"UPDATE")
            continue;
        // "FROM (SELECT ...)" has no table of its own; the scan goes on into the subquery.
        qsizetype n = nextSolid(tokens, i + 1);
        if (n == tokens.size() || !isTableName(tokens[n]))
            continue;
        // For "main.Resources" the table is the last part.
        while (n + 2 < tokens.size() && tokens[n + 1].text == u"." && isTableName(tokens[n + 2]))
            n += 2;
        return tokens[n].kind == Kind::Word ? tokens[n].text : unquoted(tokens[n]);
    }
    return {};
}

QString replaceMarks(const QString& sql, const QList<qsizetype>& places, const QString& replacement) {
    if (places.isEmpty())
        return sql;
    QString out;
    out.reserve(sql.size() + places.size() * replacement.size());
    qsizetype mark = 0;
    for (const Token& t : tokenize(sql)) {
        if (t.kind == Kind::Punct && t.text == u"?")
            out += places.contains(mark++) ? replacement : t.text;
        else
            out += t.text;
    }
    return out;
}

bool isRowReturning(const QString& sql) {
    const QList<Token> tokens = tokenize(sql);
    const qsizetype verb = verbIndex(tokens);
    const QString kw = verb < tokens.size() ? keyword(tokens[verb]) : QString();
    return kw == u"SELECT" || kw == u"PRAGMA";
}

bool isInsert(const QString& sql) {
    const QList<Token> tokens = tokenize(sql);
    const qsizetype verb = verbIndex(tokens);
    return verb < tokens.size() && keyword(tokens[verb]) == u"INSERT";
}

} // namespace data

namespace data {
namespace {

bool isComparisonChar(const Token& t) {
    return t.kind == Kind::Punct && (t.text == u"=" || t.text == u"<" || t.text == u">" || t.text == u"!");
}

qsizetype previousSolid(const QList<Token>& tokens, qsizetype i) {
    --i;
    while (i >= 0 && tokens[i].kind == Kind::Space)
        --i;
    return i;
}

// The last part of a dotted name that starts at i ("Table.Column" ends at "Column"); -1 when i starts
// no name or the name is a function call.
qsizetype nameEnd(const QList<Token>& tokens, qsizetype i) {
    if (i >= tokens.size() || !isName(tokens[i]))
        return -1;
    while (i + 2 < tokens.size() && tokens[i + 1].text == u"." && isName(tokens[i + 2]))
        i += 2;
    const qsizetype after = nextSolid(tokens, i + 1);
    if (after < tokens.size() && tokens[after].text == u"(")
        return -1;
    return i;
}

// Collects the terms of one ORDER BY list; a term gets the collation unless it names one already or is
// a column number.
class OrderByTerms {
public:
    bool active() const { return m_active; }
    int depth() const { return m_depth; }
    void start(int depth) {
        m_active = true;
        m_depth = depth;
        beginTerm();
    }
    void beginTerm() {
        m_open = true;
        m_last = -1;
        m_count = 0;
        m_hasCollate = false;
        m_number = false;
    }
    void take(const Token& t, qsizetype i) {
        if (!m_open)
            return;
        m_last = i;
        ++m_count;
        m_hasCollate = m_hasCollate || keyword(t) == u"COLLATE";
        m_number = m_count == 1 && t.kind == Kind::Word && t.text.front().isDigit();
    }
    void finishTerm(QList<qsizetype>& marks) {
        if (m_open && m_count > 0 && !m_hasCollate && !(m_count == 1 && m_number))
            marks.append(m_last);
        m_open = false;
    }
    void stop(QList<qsizetype>& marks) {
        finishTerm(marks);
        m_active = false;
    }

private:
    bool m_active = false;
    bool m_open = false;
    int m_depth = 0;
    qsizetype m_last = -1;
    int m_count = 0;
    bool m_hasCollate = false;
    bool m_number = false;
};

} // namespace

QString withCollation(const QString& sql, const QString& collation, const QStringList& numberColumns) {
    const QList<Token> tokens = tokenize(sql);
    const auto isNumberColumn = [&](const Token& t) {
        return numberColumns.contains(t.kind == Kind::Bracketed ? unquoted(t) : t.text, Qt::CaseInsensitive);
    };
    const qsizetype verb = verbIndex(tokens);
    const QString verbWord = verb < tokens.size() ? keyword(tokens[verb]) : QString();
    static const QStringList changed = {QStringLiteral("SELECT"), QStringLiteral("INSERT"),
                                        QStringLiteral("UPDATE"), QStringLiteral("DELETE"),
                                        QStringLiteral("WITH")};
    if (!changed.contains(verbWord))
        return sql;

    QList<qsizetype> marks; // tokens after which the collation goes
    OrderByTerms order;
    int depth = 0;
    bool inSet = false;
    bool expectAssignment = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Kind::Space)
            continue;
        const QString kw = keyword(t);
        if (order.active() && depth == order.depth()) {
            static const QStringList enders = {QStringLiteral("LIMIT"), QStringLiteral("OFFSET"),
                                               QStringLiteral("UNION"), QStringLiteral("EXCEPT"),
                                               QStringLiteral("INTERSECT")};
            if (t.text == u"," && t.kind == Kind::Punct) {
                order.finishTerm(marks);
                order.beginTerm();
                continue;
            }
            if (kw == u"ASC" || kw == u"DESC" || kw == u"NULLS")
                order.finishTerm(marks);
            else if (t.text == u")" || t.text == u";" || enders.contains(kw))
                order.stop(marks);
        }
        if (t.text == u"(" && t.kind == Kind::Punct) {
            ++depth;
        } else if (t.text == u")" && t.kind == Kind::Punct) {
            --depth;
        } else if (kw == u"ORDER" && !order.active()) {
            const qsizetype by = nextSolid(tokens, i + 1);
            if (by < tokens.size() && keyword(tokens[by]) == u"BY") {
                order.start(depth);
                i = by;
                continue;
            }
        } else if (kw == u"SET") {
            inSet = expectAssignment = true;
        } else if (inSet && depth == 0 && (kw == u"WHERE" || kw == u"FROM" || kw == u"RETURNING")) {
            inSet = expectAssignment = false;
        } else if (inSet && depth == 0 && t.text == u"," && t.kind == Kind::Punct) {
            expectAssignment = true;
        }

        const bool comparison = isComparisonChar(t) && !(i > 0 && isComparisonChar(tokens[i - 1]));
        const bool namedTest = kw == u"IN" || kw == u"BETWEEN" || kw == u"IS";
        if (comparison && inSet && depth == 0 && expectAssignment && t.text == u"=") {
            expectAssignment = false;
        } else if (comparison || namedTest) {
            qsizetype left = previousSolid(tokens, i);
            if (namedTest && left >= 0 && keyword(tokens[left]) == u"NOT")
                left = previousSolid(tokens, left);
            if (left >= 0 && isName(tokens[left]) && keyword(tokens[left]) != u"NULL") {
                if (!isNumberColumn(tokens[left]))
                    marks.append(left);
            } else if (comparison) {
                qsizetype right = i + 1;
                while (right < tokens.size() && isComparisonChar(tokens[right]))
                    ++right;
                right = nameEnd(tokens, nextSolid(tokens, right));
                if (right >= 0 && !isNumberColumn(tokens[right]))
                    marks.append(right);
            }
        }
        if (order.active())
            order.take(t, i);
    }
    if (order.active())
        order.stop(marks);

    const QString clause = QStringLiteral(" COLLATE ") + collation;
    QString out;
    out.reserve(sql.size() + marks.size() * clause.size());
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        out += tokens[i].text;
        if (marks.contains(i))
            out += clause;
    }
    return out;
}

} // namespace data
