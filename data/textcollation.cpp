#include "data/textcollation.h"

#include <sqlite3.h>

#include <cstring>

namespace data {

namespace {

// Base letter without accents, case folded: the primary sort key.
QString primaryKey(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 0x80 && c.decompositionTag() == QChar::Canonical) {
            const QString parts = c.decomposition();
            if (!parts.isEmpty())
                c = parts.at(0);
        }
        out.append(c.toCaseFolded());
    }
    return out;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

int asciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

int collate(void*, int lengthA, const void* a, int lengthB, const void* b) {
    return compareText(static_cast<const char*>(a), lengthA, static_cast<const char*>(b), lengthB);
}

} // namespace

int compareText(const QString& a, const QString& b) {
    const int primary = sign(primaryKey(a).compare(primaryKey(b)));
    if (primary != 0)
        return primary;
    return sign(a.toCaseFolded().compare(b.toCaseFolded()));
}

int compareText(const char* a, int lengthA, const char* b, int lengthB) {
    // Most office text is plain ASCII: compare it without converting.
    const int common = lengthA < lengthB ? lengthA : lengthB;
    for (int i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80)
            return compareText(QString::fromUtf8(a, lengthA), QString::fromUtf8(b, lengthB));
        const int d = asciiLower(ca) - asciiLower(cb);
        if (d != 0)
            return sign(d);
    }
    for (int i = common; i < lengthA; ++i)
        if (static_cast<unsigned char>(a[i]) & 0x80)
            return compareText(QString::fromUtf8(a, lengthA), QString::fromUtf8(b, lengthB));
    for (int i = common; i < lengthB; ++i)
        if (static_cast<unsigned char>(b[i]) & 0x80)
            return compareText(QString::fromUtf8(a, lengthA), QString::fromUtf8(b, lengthB));
    return sign(lengthA - lengthB);
}

bool registerTextCollation(sqlite3* handle) {
    return sqlite3_create_collation(handle, TextCollationName, SQLITE_UTF8, nullptr, &collate) == SQLITE_OK;
}

} // namespace data
