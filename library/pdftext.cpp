// The text layer of a PDF, page after page, through poppler.
#include "library/pdfsupport.h"
#include "library/textsink.h"

#include <poppler-qt6.h>

namespace library {

void quietPoppler() {
    // A damaged file makes poppler complain on standard error; the caller already says "no text".
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
        return true;
    }();
    (void)quiet;
}

bool readPdfText(const QString& filePath, TextSink& sink) {
    quietPoppler();
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(filePath);
    // Locked: encrypted with a password nobody gave; its text cannot be read.
    if (!document || document->isLocked())
        return false;
    const int pages = document->numPages();
    for (int i = 0; i < pages && !sink.full(); ++i) {
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        if (!page)
            return false;
        sink.add(page->text(QRectF()));
        sink.add(u'\n');
    }
    return true;
}

QImage renderFirstPdfPage(const QString& filePath, int longestSide) {
    quietPoppler();
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(filePath);
    if (!document || document->isLocked() || document->numPages() < 1)
        return {};
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return {};
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const QSizeF points = page->pageSizeF();
    const double longest = std::max(points.width(), points.height());
    const double dpi = longest > 0 ? 72.0 * longestSide / longest : 72.0;
    return page->renderToImage(dpi, dpi);
}

} // namespace library
