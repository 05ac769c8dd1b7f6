#include "library/textextraction.h"

#include "library/textsink.h"

#include <QFile>
#include <QFileInfo>

#include <quazip/quazip.h>

namespace library {

namespace {

constexpr qsizetype SinkBufferBytes = 256 * 1024;

bool hasEntry(QuaZip& zip, const char* name) {
    return zip.setCurrentFile(QString::fromLatin1(name));
}

TextFormat zippedFormat(const QString& filePath) {
    QuaZip zip(filePath);
    if (!zip.open(QuaZip::mdUnzip))
        return TextFormat::None;
    if (hasEntry(zip, "word/document.xml"))
        return TextFormat::WordProcessing;
    if (hasEntry(zip, "xl/workbook.xml"))
        return TextFormat::Spreadsheet;
    if (hasEntry(zip, "content.xml"))
        return TextFormat::OpenDocument;
    return TextFormat::None;
}

bool looksLikeHtml(const QString& name, const QByteArray& head) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm") || suffix == QLatin1String("xhtml"))
        return true;
    const QByteArray start = head.trimmed().left(64).toLower();
    return start.startsWith("<!doctype html") || start.startsWith("<html");
}

// Text files hold no NUL byte, except UTF-16, where every other byte of Latin text is one.
bool looksLikeText(const QByteArray& head) {
    if (head.startsWith("\xff\xfe") || head.startsWith("\xfe\xff"))
        return true;
    qsizetype zeros = 0;
    for (const char byte : head)
        zeros += byte == 0;
    return zeros == 0 || zeros * 3 >= head.size(); // none, or UTF-16 without a byte-order mark
}

} // namespace

TextSink::TextSink(QIODevice* out, qint64 maxCharacters) : m_out(out), m_limit(maxCharacters) {}

TextSink::~TextSink() {
    flush();
}

void TextSink::add(QStringView text) {
    if (full())
        return;
    text = text.left(m_limit - m_summary.characters);
    QString clean = text.toString();
    for (QChar& c : clean) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n')
            c = u' ';
        else if (!m_summary.hasText && c.isLetterOrNumber())
            m_summary.hasText = true;
    }
    m_summary.characters += clean.size();
    if (!m_out) {
        m_kept += clean;
        return;
    }
    m_buffer += clean.toUtf8();
    if (m_buffer.size() >= SinkBufferBytes)
        flush();
}

bool TextSink::flush() {
    if (m_out && !m_buffer.isEmpty()) {
        m_failed |= m_out->write(m_buffer) != m_buffer.size();
        m_buffer.clear();
    }
    return !m_failed;
}

TextFormat sniffFormat(const QString& filePath, const QString& name) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return TextFormat::None;
    const QByteArray head = file.read(64 * 1024);
    file.close();
    if (head.startsWith("%PDF-"))
        return TextFormat::Pdf;
    if (head.startsWith("PK\x03\x04"))
        return zippedFormat(filePath);
    if (!looksLikeText(head))
        return TextFormat::None;
    return looksLikeHtml(name, head) ? TextFormat::Html : TextFormat::PlainText;
}

namespace {

bool readAny(const QString& filePath, const QString& name, TextSink& sink) {
    switch (const TextFormat format = sniffFormat(filePath, name)) {
    case TextFormat::Pdf:
        return readPdfText(filePath, sink);
    case TextFormat::WordProcessing:
    case TextFormat::Spreadsheet:
    case TextFormat::OpenDocument:
        return readZippedText(filePath, format, sink);
    case TextFormat::Html:
    case TextFormat::PlainText:
        return readPlainText(filePath, format == TextFormat::Html, sink);
    case TextFormat::None:
        break;
    }
    return false;
}

} // namespace

TextSummary extractText(const QString& filePath, const QString& name, QIODevice& out, qint64 maxCharacters) {
    TextSink sink(&out, maxCharacters);
    const bool read = readAny(filePath, name, sink);
    // Half a damaged file is not its text: it has none, and the index holds nothing of it.
    if (!sink.flush() || !read)
        return {};
    return sink.summary();
}

QString textStart(const QString& filePath, const QString& name, qint64 maxCharacters) {
    TextSink sink(nullptr, maxCharacters);
    const bool read = readAny(filePath, name, sink);
    return read && sink.summary().hasText ? sink.kept() : QString();
}

} // namespace library
