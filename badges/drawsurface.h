// The few drawing operations the barcode renderer needs of whatever it draws on, and the surfaces that
// offer them: a QImage (screen and persistent image of the barcode box), any QPainter (printer, PDF)
// and a recorder for checking geometry.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>

class DrawSurface {
public:
    // The members a caller may find missing; a surface lacking one throws NotSupported from it.
    enum class Member { ScaleMode, Cls, ScaleHeight, TextHeight, Line, CurrentX, CurrentY, Print };

    static constexpr int PixelScaleMode = 3;

    // Surfaces are bound late, like the picture boxes they stand for: a member that a surface does not
    // offer fails only when it is called, and the caller decides what that means for its own errors.
    class NotSupported : public std::exception {
    public:
        explicit NotSupported(Member member) : m_member(member) {}
        Member member() const { return m_member; }
        const char* what() const noexcept override { return "drawing member not supported"; }

    private:
        Member m_member;
    };

    DrawSurface() = default;
    DrawSurface(const DrawSurface&) = delete;
    DrawSurface& operator=(const DrawSurface&) = delete;
    virtual ~DrawSurface() = default;

    // Every member throws NotSupported unless a surface overrides it.
    virtual void setScaleMode(int mode);
    virtual void cls();
    virtual double scaleHeight() const;
    virtual double textHeight(const QString& text) const;
    // Leaves the current position at (x2, y2).
    virtual void line(double x1, double y1, double x2, double y2, const QColor& colour);
    virtual void setCurrentX(double x);
    virtual double currentX() const;
    virtual double currentY() const;
    // Top of the text at currentY(); afterwards the position moves to the start of the next line.
    virtual void print(const QString& text);

    // Exactly the lines (x, y1)-(x, y2) for x = left .. left + width - 1, in that order, so the current
    // position ends at (left + width - 1, y2). Surfaces that can fill a rectangle in one go override it;
    // the result must not differ from the single lines.
    virtual void bar(int left, int width, double y1, double y2, const QColor& colour);
};

// Draws in pixels onto a QImage it owns, without antialiasing so that every one-pixel line covers exactly
// one pixel column. The image starts filled with the background colour.
//
// Bars are the bulk of the work and go straight into the pixel buffer of a 32-bit image instead of
// through the painter; a run of bars over the same rows of a freshly cleared image is written on its
// first row only and copied down in one pass when anything else needs the pixels.
class ImageSurface : public DrawSurface {
public:
    explicit ImageSurface(QSize size, QImage::Format format = QImage::Format_RGB32);
    ~ImageSurface() override;

    // Completes pending bars and ends any painting in progress, so the pixels are final when read.
    const QImage& image() const;

    void setFont(const QFont& font);
    QFont font() const { return m_font; }
    void setForeColor(const QColor& colour) { m_foreColor = colour; }
    QColor foreColor() const { return m_foreColor; }
    void setBackColor(const QColor& colour) { m_backColor = colour; }
    QColor backColor() const { return m_backColor; }

    void setScaleMode(int mode) override;
    void cls() override;
    double scaleHeight() const override;
    double textHeight(const QString& text) const override;
    void line(double x1, double y1, double x2, double y2, const QColor& colour) override;
    void setCurrentX(double x) override { m_currentX = x; }
    double currentX() const override { return m_currentX; }
    double currentY() const override { return m_currentY; }
    void print(const QString& text) override;
    void bar(int left, int width, double y1, double y2, const QColor& colour) override;

private:
    // Bars written on row `top` only; rows below it up to `bottom` still hold the cleared background.
    // Nothing else touches the buffer while bars are pending, so the row pointer stays valid.
    struct PendingBars {
        QRgb* firstRow;
        int top, bottom, left, right;
        QRgb pixel;
    };

    QPainter& painter();
    const QFontMetrics& metrics() const;
    bool writesDirectly(const QColor& colour) const;
    void fillColumns(int left, int width, int y1, int y2, const QColor& colour);
    void flushBars() const;

    mutable QImage m_image;
    // Kept open between calls: opening a painter costs more than drawing a whole symbol's bars.
    mutable QPainter m_painter;
    mutable std::optional<QFontMetrics> m_metrics;
    mutable std::optional<PendingBars> m_pending;
    // 32-bit pixels that take an opaque colour as it is.
    bool m_rgb32;
    // Every pixel is the background colour: nothing drawn since the last clear.
    bool m_blank = true;
    QFont m_font;
    QColor m_foreColor = Qt::black;
    QColor m_backColor = Qt::white;
    double m_currentX = 0;
    double m_currentY = 0;
};

// Draws onto a painter the caller owns (printer, PDF, a large image) inside a target rectangle given in
// device coordinates. One surface pixel becomes a whole number of device dots, the scale rounded, so
// every narrow element has the same width on paper and a wide one exactly four times that; bars are
// filled rectangles, never a scaled picture. Drawing is clipped to the target, as a too long code is
// cut off at the edge of the barcode box on screen. The painter's state is restored when the surface
// goes, and the painter must outlive it.
class PainterSurface : public DrawSurface {
public:
    PainterSurface(QPainter& painter, const QRect& target, double dotsPerPixel);
    ~PainterSurface() override;

    // Device dots per surface pixel actually used.
    int dotsPerPixel() const { return m_dots; }

    // The font is taken at the device's resolution: an 8 point label stays 8 points on paper.
    void setFont(const QFont& font) { m_font = font; }
    QFont font() const { return m_font; }
    void setForeColor(const QColor& colour) { m_foreColor = colour; }
    void setBackColor(const QColor& colour) { m_backColor = colour; }

    void setScaleMode(int mode) override;
    void cls() override;
    double scaleHeight() const override;
    double textHeight(const QString& text) const override;
    void line(double x1, double y1, double x2, double y2, const QColor& colour) override;
    void setCurrentX(double x) override { m_currentX = x; }
    double currentX() const override { return m_currentX; }
    double currentY() const override { return m_currentY; }
    void print(const QString& text) override;
    void bar(int left, int width, double y1, double y2, const QColor& colour) override;

private:
    int deviceX(double x) const;
    int deviceY(double y) const;

    QPainter& m_painter;
    QRect m_target;
    int m_dots;
    QFont m_font;
    QColor m_foreColor = Qt::black;
    QColor m_backColor = Qt::white;
    double m_currentX = 0;
    double m_currentY = 0;
};

// Keeps every call in order as text and the drawn lines and texts as values; draws nothing. Any member
// can be taken away to play a surface that lacks it.
class RecordingSurface : public DrawSurface {
public:
    struct LineCall {
        double x1, y1, x2, y2;
        QColor colour;
    };
    struct TextCall {
        double x, y;
        QString text;
    };

    explicit RecordingSurface(double scaleHeight = 73, double textHeight = 13)
        : m_scaleHeight(scaleHeight), m_textHeight(textHeight) {}

    void withhold(Member member) { m_withheld |= bit(member); }
    void setScaleHeight(double height) { m_scaleHeight = height; }

    // One entry per call, e.g. "ScaleMode=3", "Cls", "TextHeight(X)", "Line(10,1)-(10,60)", "Print(*A*)".
    const QStringList& log() const { return m_log; }
    const QList<LineCall>& lines() const { return m_lines; }
    const QList<TextCall>& texts() const { return m_texts; }
    int scaleMode() const { return m_scaleMode; }
    void clearLog();

    void setScaleMode(int mode) override;
    void cls() override;
    double scaleHeight() const override;
    double textHeight(const QString& text) const override;
    void line(double x1, double y1, double x2, double y2, const QColor& colour) override;
    void setCurrentX(double x) override;
    double currentX() const override;
    double currentY() const override;
    void print(const QString& text) override;

private:
    static unsigned bit(Member member) { return 1u << static_cast<unsigned>(member); }
    void require(Member member) const;
    void record(const QString& entry) const { m_log.append(entry); }

    unsigned m_withheld = 0;
    mutable QStringList m_log;
    QList<LineCall> m_lines;
    QList<TextCall> m_texts;
    double m_scaleHeight;
    double m_textHeight;
    int m_scaleMode = 1;
    double m_currentX = 0;
    double m_currentY = 0;
};
