// Plain text and HTML: the encoding told by a byte-order mark, else UTF-8 when every byte sequence is
// valid UTF-8, else UTF-16 when every other byte is zero, else Windows-1252. HTML loses its tags,
// scripts and styles, and its character references are resolved.
#include "app/windows1252.h"
#include "library/textsink.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <optional>

namespace library {

namespace {

constexpr qint64 ReadBytes = 256 * 1024;

enum class Encoding { Utf8, Utf16Le, Utf16Be, Windows1252 };

struct Detected {
    Encoding encoding;
    qint64 skip; // byte-order mark
};

// Invalid sequences decode to U+FFFD; more of them than the file spells out means it is not UTF-8.
bool validUtf8(QFile& file) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    qint64 spelled = 0, decoded = 0;
    QByteArray tail; // a spelled-out U+FFFD cut between two pieces
    while (true) {
        const QByteArray piece = file.read(ReadBytes);
        if (piece.isEmpty())
            break;
        spelled += (tail + piece).count("\xef\xbf\xbd");
        tail = piece.right(2);
        decoded += QString(decoder.decode(piece)).count(QChar::ReplacementCharacter);
        if (decoded > spelled)
            return false;
    }
    decoded += QString(decoder.decode(QByteArray())).count(QChar::ReplacementCharacter);
    return decoded <= spelled;
}

Detected detect(QFile& file) {
    const QByteArray head = file.peek(64 * 1024);
    if (head.startsWith("\xef\xbb\xbf"))
        return {Encoding::Utf8, 3};
    if (head.startsWith("\xff\xfe"))
        return {Encoding::Utf16Le, 2};
    if (head.startsWith("\xfe\xff"))
        return {Encoding::Utf16Be, 2};
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i < head.size(); ++i)
        (i % 2 ? oddZeros : evenZeros) += head.at(i) == 0;
    if (oddZeros * 3 >= head.size() && oddZeros > evenZeros)
        return {Encoding::Utf16Le, 0};
    if (evenZeros * 3 >= head.size() && evenZeros > oddZeros)
        return {Encoding::Utf16Be, 0};
    const bool utf8 = validUtf8(file);
    file.seek(0);
    return {utf8 ? Encoding::Utf8 : Encoding::Windows1252, 0};
}

// Removes tags as the text streams through; a tag or reference cut between two pieces is kept whole.
class HtmlText {
public:
    explicit HtmlText(TextSink& sink) : m_sink(sink) {}

    void add(QStringView text) {
        for (const QChar c : text)
            take(c);
        flushText();
    }

private:
    void take(QChar c) {
        switch (m_state) {
        case State::Text:
            if (c == u'<') {
                flushText();
                m_state = State::Tag;
                m_tag.clear();
            } else if (c == u'&') {
                flushText();
                m_state = State::Reference;
                m_reference.clear();
            } else if (!m_skipping) {
                m_text += c;
            }
            return;
        case State::Tag:
            if (c == u'>') {
                endTag();
                m_state = State::Text;
            } else if (m_tag.size() < 64) {
                m_tag += c;
                if (m_tag == u"!--")
                    m_state = State::Comment;
            }
            return;
        case State::Comment:
            m_tag += c;
            if (m_tag.endsWith(u"-->"))
                m_state = State::Text;
            if (m_tag.size() > 8)
                m_tag.remove(0, m_tag.size() - 3);
            return;
        case State::Reference:
            if (c == u';' || m_reference.size() > 10 || !(c.isLetterOrNumber() || c == u'#')) {
                const std::optional<QChar> resolved = resolve(m_reference);
                if (!m_skipping)
                    m_text += resolved ? QString(*resolved)
                                       : u'&' + m_reference + (c == u';' ? QStringLiteral(";") : QString());
                m_state = State::Text;
                if (c != u';')
                    take(c);
            } else {
                m_reference += c;
            }
            return;
        }
    }

    void endTag() {
        const bool closing = m_tag.startsWith(u'/');
        QString bare = closing ? m_tag.mid(1) : m_tag;
        for (qsizetype i = 0; i < bare.size(); ++i)
            if (bare.at(i).isSpace() || bare.at(i) == u'/') {
                bare.truncate(i);
                break;
            }
        bare = bare.toLower();
        if (bare == u"script" || bare == u"style")
            m_skipping = !closing;
        // Block elements end a line, so that words of two paragraphs do not run together.
        static const QStringList blocks{"p",  "br", "div",   "li", "tr", "h1",    "h2", "h3", "h4",
                                        "h5", "h6", "table", "ul", "ol", "title", "td", "th"};
        if (blocks.contains(bare) && !m_skipping)
            m_text += bare == u"td" || bare == u"th" ? u'\t' : u'\n';
        flushText();
    }

    static std::optional<QChar> resolve(const QString& reference) {
        static const QHash<QString, QChar> named{
            {"amp", u'&'},    {"lt", u'<'},     {"gt", u'>'},     {"quot", u'"'},   {"apos", u'\''},
            {"nbsp", u' '},   {"auml", u'ä'},   {"ouml", u'ö'},   {"uuml", u'ü'},   {"Auml", u'Ä'},
            {"Ouml", u'Ö'},   {"Uuml", u'Ü'},   {"szlig", u'ß'},  {"eacute", u'é'}, {"egrave", u'è'},
            {"aacute", u'á'}, {"agrave", u'à'}, {"ccedil", u'ç'}, {"ntilde", u'ñ'}, {"oacute", u'ó'},
            {"iacute", u'í'}, {"uacute", u'ú'}, {"euro", u'€'},   {"copy", u'©'},   {"euml", u'ë'},
            {"iuml", u'ï'},   {"aring", u'å'},  {"oslash", u'ø'}, {"aelig", u'æ'},  {"ndash", u'–'},
            {"mdash", u'—'},  {"hellip", u'…'}};
        if (reference.startsWith(u'#')) {
            bool ok = false;
            const uint code = reference.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                                  ? reference.mid(2).toUInt(&ok, 16)
                                  : reference.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code < 0xFFFF)
                return QChar(char16_t(code));
            return std::nullopt;
        }
        const auto found = named.constFind(reference);
        return found == named.constEnd() ? std::nullopt : std::optional<QChar>(*found);
    }

    void flushText() {
        if (!m_text.isEmpty())
            m_sink.add(m_text);
        m_text.clear();
    }

    enum class State { Text, Tag, Comment, Reference };
    TextSink& m_sink;
    State m_state = State::Text;
    QString m_text, m_tag, m_reference;
    bool m_skipping = false;
};

} // namespace

bool readPlainText(const QString& filePath, bool html, TextSink& sink) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const Detected detected = detect(file);
    file.seek(detected.skip);
    std::optional<QStringDecoder> decoder;
    if (detected.encoding == Encoding::Utf8)
        decoder.emplace(QStringDecoder::Utf8);
    else if (detected.encoding == Encoding::Utf16Le)
        decoder.emplace(QStringDecoder::Utf16LE);
    else if (detected.encoding == Encoding::Utf16Be)
        decoder.emplace(QStringDecoder::Utf16BE);
    HtmlText htmlText(sink);
    while (!sink.full()) {
        const QByteArray piece = file.read(ReadBytes);
        if (piece.isEmpty())
            break;
        const QString text = decoder ? QString(decoder->decode(piece)) : app::fromWindows1252(piece);
        if (html)
            htmlText.add(text);
        else
            sink.add(text);
    }
    return file.error() == QFileDevice::NoError;
}

} // namespace library
