// Renders many identification codes the way the badge window does (a new renderer per code, start/stop
// characters, bar height taken from the box) onto a barcode-box-sized image, and the same codes with
// libzint onto its own one-pixel-per-module bitmap, and prints both times and their ratio.
#include "badges/barcode39.h"
#include "badges/drawsurface.h"

#include <QGuiApplication>
#include <QStringList>

#include <zint.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int Codes = 10000;
const QSize BarcodeBox(209, 73);

// Codes shaped like the ones on badges, all short enough for the box.
QStringList sampleCodes() {
    static const char* const shapes[] = {"EMP-%05d", "C%03d", "A%03d", "%05d", "HR %04d", "X.%04d", "K-%d"};
    QStringList codes;
    codes.reserve(Codes);
    for (int i = 0; i < Codes; ++i) {
        codes.append(QString::asprintf(shapes[i % std::size(shapes)], (i * 7919) % 100000 % 10000));
    }
    return codes;
}

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Returns the time taken; `inked` counts dark pixels in one row so the drawing cannot be skipped.
double timeOurs(const QStringList& codes, bool label, long& inked) {
    ImageSurface surface(BarcodeBox);
    const auto start = Clock::now();
    for (const QString& text : codes) {
        clsBarCode39 code;
        code.setShowLabel(label);
        code.setShowStartStop(true);
        code.setTextString(text);
        code.Refresh(surface);
    }
    const double elapsed = millisecondsSince(start);
    const QImage& image = surface.image();
    for (int x = 0; x < image.width(); ++x) {
        inked += qGray(image.pixel(x, 20)) < 128;
    }
    return elapsed;
}

double timeZint(const std::vector<QByteArray>& codes, long& inked, int& width, int& height) {
    zint_symbol* symbol = ZBarcode_Create();
    const auto start = Clock::now();
    for (const QByteArray& text : codes) {
        ZBarcode_Clear(symbol);
        symbol->symbology = BARCODE_CODE39;
        symbol->height = float(BarcodeBox.height() - 1);
        symbol->scale = 0.5f; // one pixel per module in raster output
        symbol->show_hrt = 0;
        if (ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(text.constData()),
                                       int(text.size()), 0) >= ZINT_ERROR) {
            std::fprintf(stderr, "zint: %s\n", symbol->errtxt);
            break;
        }
    }
    const double elapsed = millisecondsSince(start);
    width = symbol->bitmap_width;
    height = symbol->bitmap_height;
    for (int x = 0; x < symbol->bitmap_width; ++x) {
        inked += symbol->bitmap[(20 * symbol->bitmap_width + x) * 3] == 0;
    }
    ZBarcode_Delete(symbol);
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    const QStringList codes = sampleCodes();
    std::vector<QByteArray> latin1;
    latin1.reserve(codes.size());
    for (const QString& text : codes) {
        latin1.push_back(text.toLatin1());
    }

    // One untimed round each so that fonts, glyph caches and allocators are warm.
    long inked = 0;
    int zintWidth = 0, zintHeight = 0;
    timeOurs(codes.mid(0, 200), true, inked);
    timeZint(std::vector<QByteArray>(latin1.begin(), latin1.begin() + 200), inked, zintWidth, zintHeight);

    // Best of three interleaved rounds, so that a busy machine hurts neither side more than the other.
    inked = 0;
    double ours = 1e300, oursLabelled = 1e300, zint = 1e300;
    for (int round = 0; round < 3; ++round) {
        ours = std::min(ours, timeOurs(codes, false, inked));
        zint = std::min(zint, timeZint(latin1, inked, zintWidth, zintHeight));
        oursLabelled = std::min(oursLabelled, timeOurs(codes, true, inked));
    }

    std::printf("Code 39, %d codes with start/stop, best of 3, last \"%s\"\n", Codes,
                qPrintable(codes.last()));
    std::printf("ours, %dx%d image, no label:   %8.2f ms  %6.2f us/code\n", BarcodeBox.width(),
                BarcodeBox.height(), ours, 1000.0 * ours / Codes);
    std::printf("ours, %dx%d image, with label: %8.2f ms  %6.2f us/code\n", BarcodeBox.width(),
                BarcodeBox.height(), oursLabelled, 1000.0 * oursLabelled / Codes);
    std::printf("zint, %dx%d bitmap, no text:   %8.2f ms  %6.2f us/code\n", zintWidth, zintHeight, zint,
                1000.0 * zint / Codes);
    std::printf("ours/zint = %.2f (with label %.2f)\n", ours / zint, oursLabelled / zint);
    std::printf("(dark pixels checked: %ld)\n", inked);
    return inked > 0 ? 0 : 1;
}
