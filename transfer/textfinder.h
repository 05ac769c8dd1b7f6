// Finds a text in stored files read piece by piece, without holding a file in memory. The file's bytes
// are looked at twice over in one pass: as Windows-1252 characters, one byte each (how files of older
// installations hold text), and as UTF-8 (how newer ones do), so the text the operator types is found
// either way. Letter case is ignored for every letter whose capital has the same length in the
// encoding (ASCII, the accented Latin letters, Greek, Cyrillic for most). Knows nothing of databases.
#pragma once

#include "data/longvalue.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <vector>

namespace transfer {

// How letter case is treated, by the value of Check1Value.
enum class CaseRule {
    Ignore,     // 0: text and pattern compared as capitals
    Exact,      // 1: compared as they are
    TextAsCaps, // any other value: the pattern as typed against the text in capitals
};
CaseRule caseRuleFor(int check1Value);

// The search text as the rules prepare it: blanks at both ends removed, then one pair of enclosing
// double quotes removed when what remains is longer than 2 characters.
QString preparedPattern(const QString& text);

class TextFinder {
public:
    TextFinder(const QString& text, CaseRule rule);

    // True when the stored file holds the text; an empty pattern is found in every file of at least
    // one byte. Reads the file from its start until the text is found or the file ends.
    bool search(data::LongValueReader& reader);
    bool search(QByteArrayView bytes);

    bool isEmptyPattern() const { return m_views.empty(); }

private:
    // One way of reading the bytes: the pattern's bytes in that encoding, and how a byte of the file
    // is turned into what the pattern holds.
    struct View {
        QByteArray pattern;
        const unsigned char* fold = nullptr;   // byte -> compared byte, without context
        bool utf8 = false;                     // trailing bytes of a character fold with their lead
        std::array<qsizetype, 256> shift = {}; // how far the pattern moves past a byte at its end
        // A pattern byte that text seldom holds (not ASCII) and that one or two file bytes give: the
        // file is scanned for those bytes alone, which is much faster than moving the pattern along.
        qsizetype anchor = -1;
        std::vector<unsigned char> anchorBytes;
        bool never = false; // some pattern byte is given by no file byte
        bool find(const unsigned char* bytes, qsizetype length) const;
    };
    void addView(QByteArray pattern, const unsigned char* fold, bool utf8, const unsigned char* classOf);

    std::vector<View> m_views;
    qsizetype m_longest = 0;
    std::vector<char> m_buffer;
};

} // namespace transfer
