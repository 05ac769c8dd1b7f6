#include "app/nativename.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace app {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// Length of the well-formed UTF-8 sequence at the start of bytes, or 0 when it is not one.
qsizetype validSequence(QByteArrayView bytes) {
    const auto at = [&](qsizetype i) { return uchar(bytes[i]); };
    const uchar lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uchar low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF; // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

QString decodeNativeName(QByteArrayView bytes) {
    QString name;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    qsizetype run = 0; // start of the valid bytes not yet decoded
    for (qsizetype i = 0; i < bytes.size();) {
        if (const qsizetype length = validSequence(bytes.sliced(i))) {
            i += length;
            continue;
        }
        name += decoder.decode(bytes.sliced(run, i - run));
        name += QChar(char16_t(EscapeBase + uchar(bytes[i])));
        run = ++i;
    }
    name += decoder.decode(bytes.sliced(run));
    return name;
}

QByteArray encodeNativeName(const QString& name) {
    if (!hasEscapedBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        if (u < EscapeBase + 0x80 || u > EscapeBase + 0xFF || (i > 0 && name.at(i - 1).isHighSurrogate()))
            continue;
        bytes += QStringView(name).sliced(run, i - run).toUtf8();
        bytes += char(u - EscapeBase);
        run = i + 1;
    }
    bytes += QStringView(name).sliced(run).toUtf8();
    return bytes;
}

bool hasEscapedBytes(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        if (u >= EscapeBase + 0x80 && u <= EscapeBase + 0xFF && !(i > 0 && name.at(i - 1).isHighSurrogate()))
            return true;
    }
    return false;
}

QString openExactly(QFile& file, const QString& name) {
    if (!hasEscapedBytes(name)) {
        file.setFileName(name);
        return file.open(QIODevice::ReadOnly) ? QString() : file.errorString();
    }
    const int fd = ::open(encodeNativeName(name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return QString();
    ::close(fd);
    return file.errorString();
}

} // namespace app
