#include "transfer/textfinder.h"

#include "app/windows1252.h"

#include <algorithm>
#include <cstring>

namespace transfer {

namespace {

using Table = std::array<unsigned char, 256>;

struct Tables {
    Table identity;
    Table asciiCaps;   // UTF-8 bytes without context: a-z to capitals, the rest unchanged
    Table utf8Class;   // like asciiCaps, with every continuation byte in one class
    Table windowsCaps; // a Windows-1252 byte to the byte of its capital, when the code page has one
    // A continuation byte after the lead byte 0xC2 + row: the byte of the capital's continuation, when
    // the capital is a two-byte character with the same lead (Latin-1, Latin Extended, Greek, Cyrillic).
    unsigned char utf8Caps[30][64];

    Tables() {
        for (int b = 0; b < 256; ++b) {
            identity[b] = static_cast<unsigned char>(b);
            asciiCaps[b] = static_cast<unsigned char>(b >= 'a' && b <= 'z' ? b - 32 : b);
            utf8Class[b] = b >= 0x80 && b < 0xC0 ? 0x80 : asciiCaps[b];
            windowsCaps[b] = static_cast<unsigned char>(b);
            const QChar character = app::fromWindows1252(static_cast<unsigned char>(b));
            const QChar capital = character.toUpper();
            if (capital != character)
                if (const auto bytes = app::toWindows1252(QString(capital)); bytes && bytes->size() == 1)
                    windowsCaps[b] = static_cast<unsigned char>(bytes->at(0));
        }
        for (int lead = 0xC2; lead <= 0xDF; ++lead) {
            for (int trail = 0x80; trail < 0xC0; ++trail) {
                const char32_t code = char32_t(((lead & 0x1F) << 6) | (trail & 0x3F));
                const char32_t capital = QChar::toUpper(code);
                const bool sameLead =
                    capital >= 0x80 && capital < 0x800 && (0xC0 | (capital >> 6)) == char32_t(lead);
                utf8Caps[lead - 0xC2][trail - 0x80] =
                    static_cast<unsigned char>(capital != code && sameLead ? 0x80 | (capital & 0x3F) : trail);
            }
        }
    }
};

const Tables& tables() {
    static const Tables built;
    return built;
}

// The byte at i as a UTF-8 text in capitals compares: a continuation byte takes its lead into account.
inline unsigned char utf8CapsAt(const Tables& t, const unsigned char* bytes, qsizetype i) {
    const unsigned char c = bytes[i];
    if (c >= 0x80 && c < 0xC0 && i > 0) {
        const unsigned char lead = bytes[i - 1];
        return lead >= 0xC2 && lead <= 0xDF ? t.utf8Caps[lead - 0xC2][c - 0x80] : c;
    }
    return t.asciiCaps[c];
}

QByteArray utf8InCaps(const QByteArray& utf8) {
    QByteArray caps(utf8.size(), Qt::Uninitialized);
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.constData());
    for (qsizetype i = 0; i < utf8.size(); ++i)
        caps[i] = char(utf8CapsAt(tables(), bytes, i));
    return caps;
}

QByteArray windowsInCaps(QByteArray bytes) {
    for (char& byte : bytes)
        byte = char(tables().windowsCaps[static_cast<unsigned char>(byte)]);
    return bytes;
}

bool isAscii(const QByteArray& bytes) {
    return std::all_of(bytes.cbegin(), bytes.cend(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether the pattern lies at s; `foldAt` gives the file's byte at an index as the pattern holds it.
// The first byte of a match never needs its predecessor, so s may be the first byte of the buffer.
template <typename FoldAt>
inline bool matchesAt(const unsigned char* bytes, qsizetype s, const unsigned char* p, qsizetype m,
                      FoldAt foldAt) {
    qsizetype j = m - 1;
    while (j >= 0 && foldAt(bytes, s + j) == p[j])
        --j;
    return j < 0;
}

// Moves the pattern along, comparing from its end, the way it is least likely to agree by chance.
template <typename FoldAt>
bool slide(const unsigned char* bytes, qsizetype length, const QByteArray& pattern,
           const std::array<qsizetype, 256>& shift, FoldAt foldAt) {
    const qsizetype m = pattern.size();
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.constData());
    for (qsizetype s = 0; s <= length - m; s += shift[bytes[s + m - 1]])
        if (foldAt(bytes, s + m - 1) == p[m - 1] && matchesAt(bytes, s, p, m, foldAt))
            return true;
    return false;
}

// Looks for each byte that gives the anchor byte of the pattern and checks the pattern around it.
template <typename FoldAt>
bool anchored(const unsigned char* bytes, qsizetype length, const QByteArray& pattern, qsizetype anchor,
              const std::vector<unsigned char>& anchorBytes, FoldAt foldAt) {
    const qsizetype m = pattern.size();
    if (length < m)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.constData());
    const unsigned char* end = bytes + (length - m + anchor + 1);
    for (const unsigned char wanted : anchorBytes) {
        for (const unsigned char* from = bytes + anchor; from < end; ++from) {
            from = static_cast<const unsigned char*>(std::memchr(from, wanted, size_t(end - from)));
            if (!from)
                break;
            if (matchesAt(bytes, (from - bytes) - anchor, p, m, foldAt))
                return true;
        }
    }
    return false;
}

template <typename FoldAt>
bool findIn(const unsigned char* bytes, qsizetype length, const QByteArray& pattern, qsizetype anchor,
            const std::vector<unsigned char>& anchorBytes, const std::array<qsizetype, 256>& shift,
            FoldAt foldAt) {
    return anchor >= 0 ? anchored(bytes, length, pattern, anchor, anchorBytes, foldAt)
                       : slide(bytes, length, pattern, shift, foldAt);
}

} // namespace

CaseRule caseRuleFor(int check1Value) {
    return check1Value == 0 ? CaseRule::Ignore : check1Value == 1 ? CaseRule::Exact : CaseRule::TextAsCaps;
}

QString preparedPattern(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == u' ')
        ++start;
    while (end > start && text.at(end - 1) == u' ')
        --end;
    QString pattern = text.mid(start, end - start);
    if (pattern.size() > 2 && pattern.startsWith(u'"') && pattern.endsWith(u'"'))
        pattern = pattern.mid(1, pattern.size() - 2);
    return pattern;
}

bool TextFinder::View::find(const unsigned char* bytes, qsizetype length) const {
    if (never)
        return false;
    if (utf8) {
        const Tables& t = tables();
        return findIn(bytes, length, pattern, anchor, anchorBytes, shift,
                      [&t](const unsigned char* b, qsizetype i) { return utf8CapsAt(t, b, i); });
    }
    const unsigned char* table = fold;
    return findIn(bytes, length, pattern, anchor, anchorBytes, shift,
                  [table](const unsigned char* b, qsizetype i) { return table[b[i]]; });
}

TextFinder::TextFinder(const QString& text, CaseRule rule) {
    const QString pattern = preparedPattern(text);
    if (pattern.isEmpty())
        return;
    const Tables& t = tables();
    const QByteArray utf8 = pattern.toUtf8();
    const std::optional<QByteArray> windows = app::toWindows1252(pattern);
    // A pattern of ASCII characters only can never meet a continuation byte, so their lead bytes need
    // not be looked at.
    const bool multiByte = !isAscii(utf8);
    switch (rule) {
    case CaseRule::Ignore:
        addView(utf8InCaps(utf8), t.asciiCaps.data(), multiByte, t.utf8Class.data());
        if (windows && multiByte)
            addView(windowsInCaps(*windows), t.windowsCaps.data(), false, t.windowsCaps.data());
        break;
    case CaseRule::Exact:
        addView(utf8, t.identity.data(), false, t.identity.data());
        if (windows && multiByte)
            addView(*windows, t.identity.data(), false, t.identity.data());
        break;
    case CaseRule::TextAsCaps:
        addView(utf8, t.asciiCaps.data(), multiByte, t.utf8Class.data());
        if (windows && multiByte)
            addView(*windows, t.windowsCaps.data(), false, t.windowsCaps.data());
        break;
    }
}

void TextFinder::addView(QByteArray pattern, const unsigned char* fold, bool utf8,
                         const unsigned char* classOf) {
    View view;
    view.fold = fold;
    view.utf8 = utf8;
    const qsizetype m = pattern.size();
    // A byte of the file moves the pattern so that the last pattern byte of its class lines up with it.
    // Every byte folds into its own class, so no alignment that could match is ever skipped.
    std::array<qsizetype, 256> byClass;
    byClass.fill(m);
    for (qsizetype k = 0; k < m - 1; ++k)
        byClass[classOf[static_cast<unsigned char>(pattern.at(k))]] = m - 1 - k;
    for (int b = 0; b < 256; ++b)
        view.shift[b] = byClass[classOf[b]];
    for (qsizetype k = 0; k < m; ++k) {
        const auto wanted = static_cast<unsigned char>(pattern.at(k));
        // A continuation byte compares with its lead, so it cannot be looked for alone.
        const bool continuation = utf8 && wanted >= 0x80 && wanted < 0xC0;
        std::vector<unsigned char> givers;
        for (int b = 0; b < 256; ++b)
            if (continuation ? classOf[b] == classOf[wanted] : fold[b] == wanted)
                givers.push_back(static_cast<unsigned char>(b));
        view.never = view.never || givers.empty();
        if (wanted >= 0x80 && !continuation && !givers.empty() && givers.size() <= 2 &&
            (view.anchor < 0 || givers.size() < view.anchorBytes.size())) {
            view.anchor = k;
            view.anchorBytes = givers;
        }
    }
    view.pattern = std::move(pattern);
    m_longest = std::max(m_longest, m);
    m_views.push_back(std::move(view));
}

bool TextFinder::search(QByteArrayView bytes) {
    if (m_views.empty())
        return !bytes.isEmpty();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return std::any_of(m_views.cbegin(), m_views.cend(),
                       [&](const View& view) { return view.find(data, bytes.size()); });
}

bool TextFinder::search(data::LongValueReader& reader) {
    if (m_views.empty())
        return reader.size() > 0;
    // The last bytes of one piece stay in front of the next, so a match across the seam is seen.
    const qsizetype keep = m_longest - 1;
    const qsizetype piece = data::LongValuePieceSize;
    m_buffer.resize(size_t(keep + piece));
    auto* bytes = reinterpret_cast<unsigned char*>(m_buffer.data());
    qsizetype carried = 0;
    for (;;) {
        const qint64 got = reader.read(m_buffer.data() + carried, piece);
        if (got <= 0)
            return false;
        const qsizetype length = carried + qsizetype(got);
        for (const View& view : m_views)
            if (view.find(bytes, length))
                return true;
        carried = std::min(keep, length);
        std::memmove(bytes, bytes + length - carried, size_t(carried));
    }
}

} // namespace transfer
