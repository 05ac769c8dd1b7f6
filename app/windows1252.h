// Windows-1252, the code page of files from older Windows installations. Qt decodes it only when built
// with ICU, so the table is kept here.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>

#include <optional>

namespace app {

// The character a byte stands for. The five bytes the code page leaves undefined map to the same C1
// control codes, as Windows itself does.
QChar fromWindows1252(unsigned char byte);
QString fromWindows1252(QByteArrayView bytes);

// The bytes of the text, or nothing when a character has no byte in the code page.
std::optional<QByteArray> toWindows1252(const QString& text);

// Text as offices' files hold it: UTF-16 or UTF-8 by their byte order mark, otherwise UTF-8 when the
// bytes are valid UTF-8 (text from an older Windows program is not, as soon as it holds one accented
// letter), otherwise Windows-1252.
QString decodeText(QByteArrayView bytes);

} // namespace app
