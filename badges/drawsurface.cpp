#include "badges/drawsurface.h"

#include <QFontMetricsF>
#include <QPen>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// Both end points are painted, so a line from y1 to y2 covers the rows between them inclusive.
QRect spanRect(int left, int width, int y1, int y2) {
    return QRect(left, std::min(y1, y2), width, std::abs(y2 - y1) + 1);
}

int lineCount(const QString& text) {
    return int(text.count(QLatin1Char('\n'))) + 1;
}

void requirePixels(int mode) {
    if (mode != DrawSurface::PixelScaleMode) {
        throw std::invalid_argument("this surface measures in pixels only");
    }
}

} // namespace

void DrawSurface::setScaleMode(int) {
    throw NotSupported(Member::ScaleMode);
}
void DrawSurface::cls() {
    throw NotSupported(Member::Cls);
}
double DrawSurface::scaleHeight() const {
    throw NotSupported(Member::ScaleHeight);
}
double DrawSurface::textHeight(const QString&) const {
    throw NotSupported(Member::TextHeight);
}
void DrawSurface::line(double, double, double, double, const QColor&) {
    throw NotSupported(Member::Line);
}
void DrawSurface::setCurrentX(double) {
    throw NotSupported(Member::CurrentX);
}
double DrawSurface::currentX() const {
    throw NotSupported(Member::CurrentX);
}
double DrawSurface::currentY() const {
    throw NotSupported(Member::CurrentY);
}
void DrawSurface::print(const QString&) {
    throw NotSupported(Member::Print);
}

void DrawSurface::bar(int left, int width, double y1, double y2, const QColor& colour) {
    for (int x = left; x < left + width; ++x) {
        line(x, y1, x, y2, colour);
    }
}

// ---------------------------------------------------------------------------------------------------------

ImageSurface::ImageSurface(QSize size, QImage::Format format)
    : m_image(size, format), m_rgb32(format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                                     format == QImage::Format_ARGB32_Premultiplied) {
    cls();
}

ImageSurface::~ImageSurface() {
    if (m_painter.isActive()) {
        m_painter.end();
    }
}

const QImage& ImageSurface::image() const {
    flushBars();
    if (m_painter.isActive()) {
        m_painter.end();
    }
    return m_image;
}

QPainter& ImageSurface::painter() {
    flushBars();
    m_blank = false;
    if (!m_painter.isActive()) {
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setRenderHint(QPainter::TextAntialiasing, false);
    }
    return m_painter;
}

const QFontMetrics& ImageSurface::metrics() const {
    if (!m_metrics) {
        m_metrics.emplace(m_font, &m_image);
    }
    return *m_metrics;
}

void ImageSurface::setFont(const QFont& font) {
    m_font = font;
    m_metrics.reset();
}

// Opaque colours on the 32-bit formats store the same value whether premultiplied or not, so no
// blending or conversion stands between the colour and the pixel.
bool ImageSurface::writesDirectly(const QColor& colour) const {
    return m_rgb32 && colour.alpha() == 255;
}

void ImageSurface::flushBars() const {
    if (!m_pending) {
        return;
    }
    const PendingBars bars = *m_pending;
    m_pending.reset();
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    const std::size_t bytes = std::size_t(bars.right - bars.left) * sizeof(QRgb);
    for (int y = bars.top + 1; y <= bars.bottom; ++y) {
        std::memcpy(bits + y * stride + bars.left * qsizetype(sizeof(QRgb)), bars.firstRow + bars.left,
                    bytes);
    }
}

void ImageSurface::fillColumns(int left, int width, int y1, int y2, const QColor& colour) {
    if (!writesDirectly(colour)) {
        painter().fillRect(spanRect(left, width, y1, y2), colour);
        return;
    }
    const int x0 = std::max(left, 0);
    const int x1 = std::min(left + width, m_image.width());
    const int top = std::max(std::min(y1, y2), 0);
    const int bottom = std::min(std::max(y1, y2), m_image.height() - 1);
    if (x0 >= x1 || top > bottom) {
        return;
    }
    const QRgb pixel = colour.rgba();
    if (m_pending && (m_pending->top != top || m_pending->bottom != bottom || m_pending->pixel != pixel)) {
        flushBars();
    }
    if (!m_pending && m_blank) {
        m_pending = PendingBars{reinterpret_cast<QRgb*>(m_image.scanLine(top)), top, bottom, x0, x1, pixel};
        m_blank = false;
    }
    if (m_pending) {
        std::fill(m_pending->firstRow + x0, m_pending->firstRow + x1, pixel);
        m_pending->left = std::min(m_pending->left, x0);
        m_pending->right = std::max(m_pending->right, x1);
        return;
    }
    uchar* bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (int y = top; y <= bottom; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + x0, row + x1, pixel);
    }
}

void ImageSurface::setScaleMode(int mode) {
    requirePixels(mode);
}

void ImageSurface::cls() {
    m_pending.reset();
    const QRgb pixel = m_backColor.rgba();
    const uchar byte = uchar(pixel);
    if (!m_image.isNull() && writesDirectly(m_backColor) && pixel == 0x01010101u * byte) {
        std::memset(m_image.bits(), byte, std::size_t(m_image.sizeInBytes()));
    } else {
        // The raster engine draws straight into the buffer, so filling it with the painter open is safe.
        m_image.fill(m_backColor);
    }
    m_blank = true;
    m_currentX = 0;
    m_currentY = 0;
}

double ImageSurface::scaleHeight() const {
    return m_image.height();
}

double ImageSurface::textHeight(const QString& text) const {
    return metrics().height() * lineCount(text);
}

void ImageSurface::line(double x1, double y1, double x2, double y2, const QColor& colour) {
    const QPoint from(qRound(x1), qRound(y1));
    const QPoint to(qRound(x2), qRound(y2));
    if (from.x() == to.x()) {
        fillColumns(from.x(), 1, from.y(), to.y(), colour);
    } else if (from.y() == to.y()) {
        painter().fillRect(QRect(std::min(from.x(), to.x()), from.y(), std::abs(to.x() - from.x()) + 1, 1),
                           colour);
    } else {
        painter().setPen(QPen(colour, 0));
        painter().drawLine(from, to);
    }
    m_currentX = x2;
    m_currentY = y2;
}

void ImageSurface::bar(int left, int width, double y1, double y2, const QColor& colour) {
    if (width > 0) {
        fillColumns(left, width, qRound(y1), qRound(y2), colour);
        m_currentX = left + width - 1;
        m_currentY = y2;
    }
}

void ImageSurface::print(const QString& text) {
    QPainter& p = painter();
    p.setFont(m_font);
    p.setPen(m_foreColor);
    p.drawText(QPoint(qRound(m_currentX), qRound(m_currentY) + metrics().ascent()), text);
    m_currentX = 0;
    m_currentY += textHeight(text);
}

// ---------------------------------------------------------------------------------------------------------

PainterSurface::PainterSurface(QPainter& painter, const QRect& target, double dotsPerPixel)
    : m_painter(painter), m_target(target), m_dots(std::max(1, qRound(dotsPerPixel))),
      m_font(painter.font()) {
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setClipRect(m_target, Qt::IntersectClip);
}

PainterSurface::~PainterSurface() {
    m_painter.restore();
}

int PainterSurface::deviceX(double x) const {
    return m_target.left() + qRound(x * m_dots);
}

int PainterSurface::deviceY(double y) const {
    return m_target.top() + qRound(y * m_dots);
}

void PainterSurface::setScaleMode(int mode) {
    requirePixels(mode);
}

void PainterSurface::cls() {
    m_painter.fillRect(m_target, m_backColor);
    m_currentX = 0;
    m_currentY = 0;
}

double PainterSurface::scaleHeight() const {
    return double(m_target.height()) / m_dots;
}

double PainterSurface::textHeight(const QString& text) const {
    return QFontMetricsF(m_font, m_painter.device()).height() * lineCount(text) / m_dots;
}

// A surface pixel is an m_dots square of device dots, so a line one pixel wide covers m_dots columns
// and reaches m_dots rows past the device position of its last pixel.
void PainterSurface::line(double x1, double y1, double x2, double y2, const QColor& colour) {
    const int dx1 = deviceX(x1), dy1 = deviceY(y1), dx2 = deviceX(x2), dy2 = deviceY(y2);
    if (dx1 == dx2 || dy1 == dy2) {
        const int left = std::min(dx1, dx2), top = std::min(dy1, dy2);
        m_painter.fillRect(QRect(left, top, std::abs(dx2 - dx1) + m_dots, std::abs(dy2 - dy1) + m_dots),
                           colour);
    } else {
        const QPoint half(m_dots / 2, m_dots / 2);
        m_painter.setPen(QPen(colour, m_dots));
        m_painter.drawLine(QPoint(dx1, dy1) + half, QPoint(dx2, dy2) + half);
    }
    m_currentX = x2;
    m_currentY = y2;
}

void PainterSurface::bar(int left, int width, double y1, double y2, const QColor& colour) {
    if (width > 0) {
        const int top = std::min(deviceY(y1), deviceY(y2));
        const int bottom = std::max(deviceY(y1), deviceY(y2)) + m_dots;
        m_painter.fillRect(QRect(deviceX(left), top, width * m_dots, bottom - top), colour);
        m_currentX = left + width - 1;
        m_currentY = y2;
    }
}

void PainterSurface::print(const QString& text) {
    m_painter.setFont(m_font);
    m_painter.setPen(m_foreColor);
    const QFontMetrics metrics(m_font, m_painter.device());
    m_painter.drawText(QPoint(deviceX(m_currentX), deviceY(m_currentY) + metrics.ascent()), text);
    m_currentX = 0;
    m_currentY += textHeight(text);
}

// ---------------------------------------------------------------------------------------------------------

void RecordingSurface::require(Member member) const {
    if (m_withheld & bit(member)) {
        throw NotSupported(member);
    }
}

void RecordingSurface::clearLog() {
    m_log.clear();
    m_lines.clear();
    m_texts.clear();
}

void RecordingSurface::setScaleMode(int mode) {
    require(Member::ScaleMode);
    m_scaleMode = mode;
    record(QStringLiteral("ScaleMode=%1").arg(mode));
}

void RecordingSurface::cls() {
    require(Member::Cls);
    m_currentX = 0;
    m_currentY = 0;
    record(QStringLiteral("Cls"));
}

double RecordingSurface::scaleHeight() const {
    require(Member::ScaleHeight);
    record(QStringLiteral("ScaleHeight"));
    return m_scaleHeight;
}

double RecordingSurface::textHeight(const QString& text) const {
    require(Member::TextHeight);
    record(QStringLiteral("TextHeight(%1)").arg(text));
    return m_textHeight * lineCount(text);
}

void RecordingSurface::line(double x1, double y1, double x2, double y2, const QColor& colour) {
    require(Member::Line);
    m_lines.append({x1, y1, x2, y2, colour});
    m_currentX = x2;
    m_currentY = y2;
    record(QStringLiteral("Line(%1,%2)-(%3,%4)").arg(x1).arg(y1).arg(x2).arg(y2));
}

void RecordingSurface::setCurrentX(double x) {
    require(Member::CurrentX);
    m_currentX = x;
    record(QStringLiteral("CurrentX=%1").arg(x));
}

double RecordingSurface::currentX() const {
    require(Member::CurrentX);
    return m_currentX;
}

double RecordingSurface::currentY() const {
    require(Member::CurrentY);
    return m_currentY;
}

void RecordingSurface::print(const QString& text) {
    require(Member::Print);
    m_texts.append({m_currentX, m_currentY, text});
    m_currentX = 0;
    m_currentY += m_textHeight * lineCount(text);
    record(QStringLiteral("Print(%1)").arg(text));
}
