// Where the extractors put the text they read: UTF-8 to a device, or kept for a preview, up to a
// limit. Shared by the extractors of the different formats; not for use outside them.
#pragma once

#include "library/textextraction.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

class QIODevice;

namespace library {

class TextSink {
public:
    // With no device the text is kept and handed out by kept().
    TextSink(QIODevice* out, qint64 maxCharacters);
    ~TextSink();
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    void add(QStringView text);
    void add(QChar c) { add(QStringView(&c, 1)); }
    // True once the limit is reached: extractors stop reading.
    bool full() const { return m_summary.characters >= m_limit; }
    // Writes what is buffered; false when the device refused it.
    bool flush();
    const TextSummary& summary() const { return m_summary; }
    const QString& kept() const { return m_kept; }

private:
    QIODevice* m_out;
    qint64 m_limit;
    TextSummary m_summary;
    QByteArray m_buffer;
    QString m_kept;
    bool m_failed = false;
};

// The format readers, each filling the sink; false when the file could not be read as that format.
bool readPdfText(const QString& filePath, TextSink& sink);
bool readZippedText(const QString& filePath, TextFormat format, TextSink& sink);
bool readPlainText(const QString& filePath, bool html, TextSink& sink);

} // namespace library
