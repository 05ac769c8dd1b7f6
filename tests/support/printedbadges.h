// Badges read back from the PDF the way a scanner meets them: poppler renders and measures the pages,
// ZXing decodes the bars. Only for tests that link ZXing.
#pragma once

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "badges/badgepainter.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

constexpr double MmPerTwip = 25.4 / 1440;

inline bool havePoppler() {
    for (const char* tool : {"pdftoppm", "pdfinfo", "pdftotext"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    return true;
}

inline QString pdfInfo(const QString& pdf, const QStringList& options = {}) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), options + QStringList{pdf});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int pdfPageCount(const QString& pdf) {
    const auto m = QRegularExpression(QStringLiteral(R"(Pages:\s+(\d+))")).match(pdfInfo(pdf));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page `page` in mm, as pdfinfo reads its media box.
inline QSizeF pdfPageSizeMm(const QString& pdf, int page = 1) {
    const QString n = QString::number(page);
    const auto m = QRegularExpression(QStringLiteral(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)"))
                       .match(pdfInfo(pdf, {"-f", n, "-l", n}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) * (25.4 / 72) : QSizeF();
}

inline QRectF mmOf(const QRect& twips) {
    return QRectF(twips.topLeft().toPointF() * MmPerTwip, twips.size().toSizeF() * MmPerTwip);
}

// The part of a page given in mm, rendered by poppler; a null image when pdftoppm fails.
inline QImage rasterise(const QString& pdf, int page, const QRectF& mm, int dpi = 300) {
    QTemporaryDir dir;
    const auto px = [dpi](double v) { return QString::number(qRound(v / 25.4 * dpi)); };
    const QString prefix = dir.filePath(QStringLiteral("page"));
    if (QProcess::execute(QStringLiteral("pdftoppm"),
                          {"-r", QString::number(dpi), "-png", "-singlefile", "-f", QString::number(page),
                           "-l", QString::number(page), "-x", px(mm.left()), "-y", px(mm.top()), "-W",
                           px(mm.width()), "-H", px(mm.height()), pdf, prefix}) != 0)
        return {};
    return QImage(prefix + QStringLiteral(".png"));
}

inline QString decodeCode39(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    const auto result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Code39));
    return result.isValid() ? QString::fromStdString(result.text()) : QStringLiteral("<no barcode>");
}

// The smallest rectangle holding every pixel close to the colour.
inline QRect extentOf(const QImage& image, QColor colour) {
    QRect extent;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                extent |= QRect(x, y, 1, 1);
        }
    return extent;
}

// A card printer's 300 dots per inch, for the checks that depend on the device.
inline QImage printerAt300Dpi() {
    QImage printer(1, 1, QImage::Format_RGB32);
    printer.setDotsPerMeterX(qRound(300 / 0.0254));
    printer.setDotsPerMeterY(qRound(300 / 0.0254));
    return printer;
}

inline badges::Badge sampleBadge(const QString& code, const QString& name = QStringLiteral("Jane Q Doe"),
                                 const QString& title = QStringLiteral("Engineer")) {
    return badges::Badge{QStringLiteral("Acme Security"), name, title, code, QImage(), {}, QDate(), {}};
}
