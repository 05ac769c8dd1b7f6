// File names as the system gives them. A name whose bytes are not UTF-8 (a Latin-1 "caf\xe9.txt") has
// no exact QString; Qt's own conversion turns the stray bytes into U+FFFD, after which the file can
// neither be found nor written under its name. Here each stray byte b is kept as the lone surrogate
// U+DC00 + b, which valid UTF-8 never yields, so decoding and encoding give back the very bytes.
// Knows nothing of the database.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace app {

// UTF-8 where the bytes are UTF-8, an escaped byte anywhere else. A leading byte-order mark is kept.
QString decodeNativeName(QByteArrayView bytes);
// The bytes decodeNativeName was given.
QByteArray encodeNativeName(const QString& name);
// True when the name holds escaped bytes: Qt's file classes cannot open it by name.
bool hasEscapedBytes(const QString& name);

// Opens the file for reading by its exact bytes. Returns what failed, or an empty text.
QString openExactly(QFile& file, const QString& name);

} // namespace app
