// Badges on cards and sheets, measured where they end up: page sizes and card positions read from the
// written PDF, barcodes decoded by an independent reader from 300 dpi renderings, texts that never lie
// on anything else, a partly used sheet and the order of the backs.
#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include "../support/testappdir.h"

#include "app/apperror.h"
#include "badges/badgelayout.h"
#include "badges/badgeprinting.h"
#include "badges/badgesettings.h"
#include "badges/layoutcatalogue.h"
#include "badges/pageplan.h"
#include "badges/sheetformat.h"
#include "employees/photofile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <optional>

namespace {

constexpr double MmPerPoint = 25.4 / 72;
constexpr double MmPerTwip = 25.4 / 1440;

bool havePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

QString run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Page `page` of the PDF in mm, as pdfinfo reads its media box.
QSizeF pageSizeMm(const QString& pdf, int page = 1) {
    const QString info =
        run(QStringLiteral("pdfinfo"), {"-f", QString::number(page), "-l", QString::number(page), pdf});
    const auto m =
        QRegularExpression(QStringLiteral(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)")).match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) * MmPerPoint : QSizeF();
}

int pageCount(const QString& pdf) {
    const auto m =
        QRegularExpression(QStringLiteral(R"(Pages:\s+(\d+))")).match(run(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The part of a page given in mm, rendered by poppler at the resolution.
QImage rasterise(const QString& pdf, int page, const QRectF& mm, int dpi) {
    QTemporaryDir dir;
    const auto px = [dpi](double v) { return QString::number(qRound(v / 25.4 * dpi)); };
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess::execute(QStringLiteral("pdftoppm"),
                      {"-r", QString::number(dpi), "-png", "-singlefile", "-f", QString::number(page), "-l",
                       QString::number(page), "-x", px(mm.left()), "-y", px(mm.top()), "-W", px(mm.width()),
                       "-H", px(mm.height()), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

QString decode(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    const auto result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Code39));
    return result.isValid() ? QString::fromStdString(result.text()) : QStringLiteral("<no barcode>");
}

// The smallest rectangle of clearly red pixels.
QRect redExtent(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QRect extent;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qRed(line[x]) > 180 && qGreen(line[x]) < 80 && qBlue(line[x]) < 80)
                extent |= QRect(x, y, 1, 1);
    }
    return extent;
}

QImage redPhoto() {
    QImage photo(300, 400, QImage::Format_RGB32); // 3:4, as the cards' photo box
    photo.fill(QColor(230, 0, 0));
    return photo;
}

badges::Badge badge(const QString& code, const QString& name = QStringLiteral("Jane Q Doe"),
                    const QString& title = QStringLiteral("Engineer")) {
    return badges::Badge{QStringLiteral("Acme Security"), name, title, code, QImage(), {}, QDate(), {}};
}

badges::PrintOptions optionsFor(const QString& layout, int start = 1, bool back = false) {
    badges::PrintOptions options;
    options.layout = badges::findLayout(layout);
    options.start = start;
    options.back = back;
    options.backText = QStringLiteral("If found, please return to Acme Security, 1 Main Street");
    return options;
}

// Where a badge sits on each page, mm: the sheet's places, or the page's corner.
QRectF cardOnPage(const badges::LayoutInfo& layout, int place) {
    if (layout.isSheet())
        return layout.sheet.cardRect(place);
    if (layout.isCard())
        return QRectF(QPointF(0, 0), layout.cardSize());
    return QRectF(0, 0, 200, 250);
}

QRectF mm(const QRect& twips) {
    return QRectF(twips.left() * MmPerTwip, twips.top() * MmPerTwip, twips.width() * MmPerTwip,
                  twips.height() * MmPerTwip);
}

} // namespace

Q_DECLARE_METATYPE(badges::Calibration)

class TestBadgeLayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The operator's own settings stay untouched.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QCoreApplication::setOrganizationName(QStringLiteral("PellorinTest"));
    }
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }

    void pageSizeOfEveryLayout_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QSizeF>("expected");
        QTest::newRow("card-landscape") << "card-landscape" << QSizeF(85.60, 53.98);
        QTest::newRow("card-portrait") << "card-portrait" << QSizeF(53.98, 85.60);
        QTest::newRow("a4-10") << "a4-10" << QSizeF(210, 297);
        QTest::newRow("letter-10") << "letter-10" << QSizeF(215.9, 279.4);
        QTest::newRow("design")
            << "design"
            << badges::pageLayoutFor(badges::findLayout("design")).fullRect(QPageLayout::Millimeter).size();
    }
    void pageSizeOfEveryLayout() {
        QFETCH(QString, layout);
        QFETCH(QSizeF, expected);
        if (!havePoppler())
            QSKIP("pdfinfo (poppler-utils) is needed to read page sizes");
        const QString pdf = m_dir->file("badges.pdf");
        badges::writeBadgesPdf(pdf, {badge("C1"), badge("C2")},
                               optionsFor(layout, 1, layout.startsWith("card")));
        for (int page = 1; page <= pageCount(pdf); ++page) {
            const QSizeF size = pageSizeMm(pdf, page);
            QVERIFY2(std::abs(size.width() - expected.width()) < 0.2 &&
                         std::abs(size.height() - expected.height()) < 0.2,
                     qPrintable(QStringLiteral("%1 x %2 mm").arg(size.width()).arg(size.height())));
        }
    }

    // A red 3:4 photograph fills its box exactly, so its corner on the page tells where the card lies.
    void everyCardWhereTheSheetSays_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<badges::Calibration>("correction");
        QTest::newRow("a4-10") << "a4-10" << badges::Calibration();
        QTest::newRow("letter-10") << "letter-10" << badges::Calibration();
        QTest::newRow("added sheet") << "three-up" << badges::Calibration();
        QTest::newRow("a4-10 corrected") << "a4-10" << badges::Calibration{1.5, -0.7, 100};
        QTest::newRow("card corrected") << "card-landscape" << badges::Calibration{-0.4, 0.3, 100};
    }
    void everyCardWhereTheSheetSays() {
        QFETCH(QString, layout);
        QFETCH(badges::Calibration, correction);
        if (!havePoppler())
            QSKIP("pdftoppm (poppler-utils) is needed to look at printed pages");
        QDir().mkpath(badges::sheetsDirectory());
        QFile sheet(badges::sheetsDirectory() + "/three-up.sheet");
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("name = three-up\npage = 100 x 200\ncard = 85.6 x 53.98\ncolumns = 1\nrows = 3\n"
                    "first-card = 7.2 x 12.35\npitch = 0 x 60.5  # a gap of 6.52 mm\n");
        sheet.close();
        badges::PrintOptions options = optionsFor(layout);
        options.calibration = correction;
        QList<badges::Badge> list;
        for (int i = 0; i < options.layout.cardsPerPage(); ++i) {
            list.append(badge(QStringLiteral("C%1").arg(i)));
            list.last().photo = redPhoto();
        }
        const QString pdf = m_dir->file("sheet.pdf");
        badges::writeBadgesPdf(pdf, list, options);
        const QRectF photo = mm(badges::planBadge(list.first(), options.layout).photoBox);
        constexpr int Dpi = 600;
        for (int i = 0; i < list.size(); ++i) {
            const QRectF card =
                cardOnPage(options.layout, i).translated(correction.offsetX, correction.offsetY);
            // The card with 2 mm of page around it (inside the page).
            const QRectF area = card.adjusted(-2, -2, 2, 2) & QRectF(QPointF(0, 0), pageSizeMm(pdf));
            const QRect red = redExtent(rasterise(pdf, 1, area, Dpi));
            QVERIFY2(!red.isNull(), qPrintable(QString::number(i)));
            const QPointF found = area.topLeft() + QPointF(red.left(), red.top()) * 25.4 / Dpi;
            const QPointF expected = card.topLeft() + photo.topLeft();
            QVERIFY2(std::abs(found.x() - expected.x()) <= 0.1 && std::abs(found.y() - expected.y()) <= 0.1,
                     qPrintable(QStringLiteral("card %1 at %2, %3 mm instead of %4, %5")
                                    .arg(i + 1)
                                    .arg(found.x())
                                    .arg(found.y())
                                    .arg(expected.x())
                                    .arg(expected.y())));
        }
    }

    void everyBarcodeDecodes_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("back");
        // Landscape cards carry codes of 12 characters at 300 dpi; the portrait card, narrower, 7.
        QTest::newRow("design") << "design"
                                << "EMP-0042" << false;
        QTest::newRow("card-landscape, 12") << "card-landscape"
                                            << "ACME-0000042" << false;
        QTest::newRow("card-landscape back") << "card-landscape"
                                             << "ACME-0000042" << true;
        QTest::newRow("card-portrait") << "card-portrait"
                                       << "EMP-042" << false;
        QTest::newRow("card-portrait back") << "card-portrait"
                                            << "EMP-042" << true;
        QTest::newRow("a4-10") << "a4-10"
                               << "ACME-0000042" << false;
        QTest::newRow("letter-10 backs") << "letter-10"
                                         << "ACME-0000042" << true;
    }
    void everyBarcodeDecodes() {
        QFETCH(QString, layout);
        QFETCH(QString, code);
        QFETCH(bool, back);
        if (!havePoppler())
            QSKIP("pdftoppm (poppler-utils) is needed to look at printed pages");
        const badges::PrintOptions options = optionsFor(layout, 1, back);
        const int cards = std::min(options.layout.cardsPerPage(), 3);
        QList<badges::Badge> list;
        for (int i = 0; i < cards; ++i)
            list.append(badge(code.chopped(1) + QString::number(i),
                              "Maximilian Alexander Bartholomew-Featherstonehaugh",
                              "Chief Executive Officer of Operations"));
        // Straight onto a 300 dpi device, bars in whole dots as a card printer gets them ...
        QImage printer(1, 1, QImage::Format_RGB32);
        printer.setDotsPerMeterX(qRound(300 / 0.0254));
        printer.setDotsPerMeterY(qRound(300 / 0.0254));
        QVERIFY(badges::badgeProblems(list.first(), options.layout, &printer).unreadable.isEmpty());
        QCOMPARE(decode(badges::renderBadge(list.first(), options, 300)), list.first().code);
        // ... and from the PDF rendered at 300 dpi, every card of the page.
        const QString pdf = m_dir->file("badges.pdf");
        badges::writeBadgesPdf(pdf, list, options);
        const QList<badges::PagePlan> pages = badges::planPages(list.size(), options);
        for (int p = 0; p < pages.size(); ++p)
            for (const badges::Placement& place : pages.at(p).places) {
                const QRectF area = place.card.isEmpty() ? QRectF(5, 75, 70, 30) : place.card;
                QCOMPARE(decode(rasterise(pdf, p + 1, area, 300)), list.at(place.badge).code);
            }
    }

    void textsNeverLieOnAnythingElse_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("valid");
        const QString longName = "Maximilian Alexander Bartholomew-Featherstonehaugh de la Cruz";
        const QString longTitle = "Chief Executive Officer of Operations and Facility Security Services";
        for (const char* layout : {"design", "card-landscape", "card-portrait", "a4-10"}) {
            QTest::addRow("%s short", layout) << layout << "Ann Lee"
                                              << "Clerk" << false;
            QTest::addRow("%s long, valid", layout) << layout << longName << longTitle << true;
            QTest::addRow("%s name breaks", layout)
                << layout << longName << "Chief Executive Officer of Operations" << true;
        }
    }
    void textsNeverLieOnAnythingElse() {
        QFETCH(QString, layout);
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(bool, valid);
        badges::Badge b = badge("ACME-0042", name, title);
        b.company = "Consolidated Security & Façade Services Worldwide";
        if (valid)
            b.validUntil = QDate(2027, 6, 30);
        const badges::LayoutInfo info = badges::findLayout(layout);
        QImage printer(1, 1, QImage::Format_RGB32);
        printer.setDotsPerMeterX(qRound(300 / 0.0254));
        printer.setDotsPerMeterY(qRound(300 / 0.0254));
        for (const QPaintDevice* device :
             {static_cast<const QPaintDevice*>(nullptr), static_cast<const QPaintDevice*>(&printer)})
            for (const badges::Side side : {badges::Side::Front, badges::Side::Back}) {
                if (side == badges::Side::Back && info.kind == badges::LayoutKind::Design)
                    continue;
                const badges::BadgeLayout plan =
                    badges::planBadge(b, info, device, side,
                                      "If found, please return to Consolidated Security & Façade Services "
                                      "Worldwide, 1 Main Street, Springfield");
                const auto elements = plan.elements();
                for (qsizetype i = 0; i < elements.size(); ++i) {
                    if (!plan.size.isEmpty()) {
                        const QRect safe = QRect(QPoint(0, 0), plan.size).adjusted(113, 113, -113, -113);
                        QVERIFY2(safe.contains(elements.at(i).second), qPrintable(elements.at(i).first));
                    }
                    // Texts keep 1 mm of paper above the bars.
                    const auto clear = [](const std::pair<QString, QRect>& a,
                                          const std::pair<QString, QRect>& b) {
                        const bool text = a.first != "photo" && a.first != "barcode";
                        return !(text && b.first == "barcode" ? a.second.adjusted(0, 0, 0, 56) : a.second)
                                    .intersects(b.second);
                    };
                    for (qsizetype j = i + 1; j < elements.size(); ++j)
                        QVERIFY2(clear(elements.at(i), elements.at(j)) &&
                                     clear(elements.at(j), elements.at(i)),
                                 qPrintable(elements.at(i).first + " overlaps " + elements.at(j).first));
                }
                for (const badges::TextBlock* text :
                     {&plan.company, &plan.name, &plan.title, &plan.validUntil, &plan.note})
                    QVERIFY(text->isEmpty() || text->font.pointSizeF() >= 6);
                if (valid && side == badges::Side::Front && info.kind != badges::LayoutKind::Design)
                    QVERIFY(plan.validUntil.lines.join(' ').startsWith("Valid until"));
            }
    }

    void startAtCardAndBacks() {
        // Cards: each card's back is the page after it.
        QList<badges::PagePlan> pages = badges::planPages(2, optionsFor("card-landscape", 1, true));
        QCOMPARE(pages.size(), 4);
        QCOMPARE(pages.at(1).places.first().side, badges::Side::Back);
        QCOMPARE(pages.at(1).places.first().badge, 0);
        QCOMPARE(pages.at(2).places.first().badge, 1);
        // A sheet whose first eight cards are used: two badges finish it, the third starts a new one, and
        // each sheet's backs follow it, mirrored across the page.
        const badges::PrintOptions options = optionsFor("a4-10", 9, true);
        pages = badges::planPages(3, options);
        QCOMPARE(pages.size(), 4);
        const badges::SheetGeometry& sheet = options.layout.sheet;
        QCOMPARE(pages.at(0).places.size(), 2);
        QCOMPARE(pages.at(0).places.at(0).card, sheet.cardRect(8));
        QCOMPARE(pages.at(0).places.at(1).card, sheet.cardRect(9));
        QVERIFY(pages.at(1).back && !pages.at(2).back && pages.at(3).back);
        QCOMPARE(pages.at(2).places.first().card, sheet.cardRect(0));
        const QRectF front = sheet.cardRect(8), back = pages.at(1).places.at(0).card;
        QCOMPARE(back.top(), front.top());
        QVERIFY(std::abs(back.left() - (sheet.page.width() - front.right())) < 1e-9);
        QVERIFY_THROWS_EXCEPTION(AppError, badges::planPages(1, optionsFor("a4-10", 11)));
        if (!havePoppler())
            QSKIP("pdfinfo (poppler-utils) is needed to count pages");
        const QString pdf = m_dir->file("sheet.pdf");
        QList<qsizetype> printed;
        badges::writeBadgesPdf(pdf, {badge("A1"), badge("A2"), badge("A3")}, options,
                               [&](const badges::PrintedBadge& p) {
                                   QCOMPARE(p.layout, QStringLiteral("a4-10"));
                                   QCOMPARE(p.destination, pdf);
                                   printed.append(p.index);
                               });
        QCOMPARE(pageCount(pdf), 4);
        QCOMPARE(printed, QList<qsizetype>({0, 1, 2}));
        QCOMPARE(decode(rasterise(pdf, 3, sheet.cardRect(0), 300)), QStringLiteral("A3"));
    }

    void sheetFiles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString good =
            "name = x\npage = 100 x 100\ncolumns = 1\nrows = 1\nfirst-card = 5 x 5\npitch = 0 x 0\n";
        QTest::newRow("good") << good << "";
        QTest::newRow("no equals") << good + "oops\n"
                                   << "line 7: expected";
        QTest::newRow("bad pair") << QString(good).replace("100 x 100", "100")
                                  << "line 2: page needs two numbers";
        QTest::newRow("unknown key") << good + "colour = red\n"
                                     << "line 7: unknown key \"colour\"";
        QTest::newRow("missing") << QString(good).replace("rows = 1\n", "") << "lacks \"rows";
        QTest::newRow("off the page") << QString(good).replace("5 x 5", "20 x 5") << "do not fit on the page";
        QTest::newRow("overlapping") << QString(good)
                                            .replace("columns = 1", "columns = 2")
                                            .replace("pitch = 0 x 0", "pitch = 50 x 0")
                                            .replace("page = 100 x 100", "page = 300 x 100")
                                     << "overlap";
        QTest::newRow("name") << QString(good).replace("name = x", "name = ../x") << "must be made of";
    }
    void sheetFiles() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        try {
            const badges::SheetGeometry sheet = badges::parseSheet(text, "t.sheet");
            QVERIFY2(error.isEmpty(), "accepted");
            const badges::SheetGeometry again = badges::parseSheet(badges::formatSheet(sheet), "again");
            QCOMPARE(again.first, sheet.first);
            QCOMPARE(again.card, sheet.card);
            QCOMPARE(again.page, sheet.page);
        } catch (const AppError& e) {
            QVERIFY2(!error.isEmpty() && e.description().contains(error) &&
                         e.description().contains("t.sheet"),
                     qPrintable(e.description()));
        }
    }
    void addedSheetsAndSettings() {
        badges::SheetGeometry sheet = badges::builtInSheets().first();
        QVERIFY_THROWS_EXCEPTION(AppError, badges::saveSheet(sheet)); // a built-in name
        sheet.name = "maker-8";
        sheet.rows = 4;
        badges::saveSheet(sheet);
        QCOMPARE(badges::findLayout("maker-8").sheet.cards(), 8);
        QFile broken(badges::sheetsDirectory() + "/broken.sheet");
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("name = broken\n");
        broken.close();
        QStringList problems;
        QStringList names;
        for (const badges::LayoutInfo& l : badges::availableLayouts(&problems))
            names.append(l.name);
        QCOMPARE(names,
                 QStringList({"design", "card-landscape", "card-portrait", "a4-10", "letter-10", "maker-8"}));
        QVERIFY(problems.size() == 1 && problems.first().contains("broken.sheet"));

        // Corrections are kept per printer, in tenths.
        badges::settings::setCalibration("Card/Printer 1", {0.34, -1.26, 99.87});
        const badges::Calibration kept = badges::settings::calibration("Card/Printer 1");
        QCOMPARE(kept.offsetX, 0.3);
        QCOMPARE(kept.offsetY, -1.3);
        QCOMPARE(kept.scale, 99.9);
        QVERIFY(badges::settings::calibration("Card").isIdentity());
        QVERIFY_THROWS_EXCEPTION(AppError, badges::settings::setCalibration("P", {25, 0, 100}));
    }

    // A camera picture is decoded at the size the badge prints it, not whole.
    void photographsLoadAtThePrintedSize() {
        QImage big(4000, 3000, QImage::Format_RGB32);
        big.fill(Qt::darkGreen);
        const QString file = m_dir->file("big.jpg");
        QVERIFY(big.save(file, "JPEG", 80));
        QCOMPARE(loadPicture(file, QSize(300, 400), nullptr).size(), QSize(300, 225));
        QSize asked;
        badges::Badge b = badge("C1");
        b.photoSource = [&](const QSize& bound) {
            asked = bound;
            return loadPicture(file, bound, nullptr);
        };
        badges::writeBadgesPdf(m_dir->file("b.pdf"), {b}, optionsFor("card-landscape"));
        // 300 dots per inch across the card's photo box, about 24 x 32 mm.
        QVERIFY2(asked.width() > 200 && asked.width() < 320 && asked.height() > 280 && asked.height() < 420,
                 qPrintable(QStringLiteral("%1 x %2").arg(asked.width()).arg(asked.height())));
    }

    void cardPageIsAskedFor() {
        const badges::LayoutInfo card = badges::findLayout("card-landscape");
        QVERIFY(!badges::cardPageProblem(card, {QPageSize(QPageSize::A4)}, "Office").isEmpty());
        QVERIFY(badges::cardPageProblem(card, {QPageSize(QSizeF(54, 86), QPageSize::Millimeter)}, "Card")
                    .isEmpty());
        QVERIFY(badges::cardPageProblem(badges::findLayout("a4-10"), {}, "Office").isEmpty());
    }

private:
    QTemporaryDir m_config;
    std::optional<TestAppDir> m_dir;
};

QTEST_MAIN(TestBadgeLayouts)
#include "tst_badgelayouts.moc"
