// Badges on cards and sheets, measured where they end up: page sizes and card positions read from the
// written PDF, barcodes decoded from 300 dpi renderings, texts that never lie on anything else, a partly
// used sheet and the order of the backs.
#include "../support/printedbadges.h"
#include "../support/testappdir.h"
#include "../support/testfiles.h"

#include "app/apperror.h"
#include "badges/badgelayout.h"
#include "badges/badgeprinting.h"
#include "badges/badgesettings.h"
#include "badges/layoutcatalogue.h"
#include "badges/pageplan.h"
#include "badges/sheetformat.h"
#include "employees/photofile.h"

#include <QtTest>

#include <optional>

namespace {

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
        QVERIFY(
            !writeTestFile(badges::sheetsDirectory() + "/three-up.sheet",
                           "name = three-up\npage = 100 x 200\ncard = 85.6 x 53.98\ncolumns = 1\nrows = 3\n"
                           "first-card = 7.2 x 12.35\npitch = 0 x 60.5  # a gap of 6.52 mm\n")
                 .isEmpty());
        badges::PrintOptions options = optionsFor(layout);
        options.calibration = correction;
        QList<badges::Badge> list;
        QImage redPicture(300, 400, QImage::Format_RGB32); // 3:4, as the cards' photo box
        redPicture.fill(QColor(230, 0, 0));
        for (int i = 0; i < options.layout.cardsPerPage(); ++i)
            list.append(
                badges::Badge{"Acme", "Jane Q Doe", "Engineer", QString::number(i), redPicture, {}, {}, {}});
        const QString pdf = m_dir->file("sheet.pdf");
        badges::writeBadgesPdf(pdf, list, options);
        const QRectF photo = mmOf(badges::planBadge(list.first(), options.layout).photoBox);
        constexpr int Dpi = 600;
        for (int i = 0; i < list.size(); ++i) {
            const QRectF card =
                cardOnPage(options.layout, i).translated(correction.offsetX, correction.offsetY);
            // The card with 2 mm of page around it (inside the page).
            const QRectF area = card.adjusted(-2, -2, 2, 2) & QRectF(QPointF(0, 0), pdfPageSizeMm(pdf));
            const QRect red = extentOf(rasterise(pdf, 1, area, Dpi), QColor(230, 0, 0));
            QVERIFY2(!red.isNull(), qPrintable(QString::number(i)));
            const QPointF found = area.topLeft() + QPointF(red.left(), red.top()) * 25.4 / Dpi;
            const QPointF expected = card.topLeft() + photo.topLeft();
            QVERIFY2(std::abs(found.x() - expected.x()) <= 0.1 && std::abs(found.y() - expected.y()) <= 0.1,
                     qPrintable(QString::asprintf("card %d at %.2f, %.2f mm instead of %.2f, %.2f", i + 1,
                                                  found.x(), found.y(), expected.x(), expected.y())));
        }
    }

    void everyBarcodeDecodesOnPagesOfTheirSize_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("back");
        QTest::addColumn<QSizeF>("paper"); // mm; empty: the design's page
        const QSizeF landscape(85.60, 53.98), a4(210, 297), letter(215.9, 279.4);
        // Landscape cards carry codes of 12 characters at 300 dpi; the portrait card, narrower, 7.
        for (const auto& [layout, code, back, paper] :
             {std::tuple{"design", "EMP-0042", false, QSizeF()},
              {"card-landscape", "ACME-0000042", false, landscape},
              {"card-landscape", "ACME-0000042", true, landscape},
              {"card-portrait", "EMP-042", false, landscape.transposed()},
              {"card-portrait", "EMP-042", true, landscape.transposed()},
              {"a4-10", "ACME-0000042", false, a4},
              {"letter-10", "ACME-0000042", true, letter}})
            QTest::addRow("%s%s", layout, back ? " backs" : "")
                << QString(layout) << QString(code) << back << paper;
    }
    void everyBarcodeDecodesOnPagesOfTheirSize() {
        QFETCH(QString, layout);
        QFETCH(QString, code);
        QFETCH(bool, back);
        QFETCH(QSizeF, paper);
        if (!havePoppler())
            QSKIP("pdftoppm (poppler-utils) is needed to look at printed pages");
        const badges::PrintOptions options = optionsFor(layout, 1, back);
        const int cards = std::min(options.layout.cardsPerPage(), 3);
        QList<badges::Badge> list;
        for (int i = 0; i < cards; ++i)
            list.append(sampleBadge(code.chopped(1) + QString::number(i),
                                    "Maximilian Alexander Bartholomew-Featherstonehaugh",
                                    "Chief Executive Officer of Operations"));
        // Straight onto a 300 dpi device, bars in whole dots as a card printer gets them ...
        const QImage printer = printerAt300Dpi();
        QVERIFY(badges::badgeProblems(list.first(), options.layout, &printer).unreadable.isEmpty());
        QCOMPARE(decodeCode39(badges::renderBadge(list.first(), options, 300)), list.first().code);
        // ... and from the PDF rendered at 300 dpi, every card of the page.
        const QString pdf = m_dir->file("badges.pdf");
        badges::writeBadgesPdf(pdf, list, options);
        const QList<badges::PagePlan> pages = badges::planPages(list.size(), options);
        QCOMPARE(pdfPageCount(pdf), pages.size());
        if (paper.isEmpty())
            paper = badges::pageLayoutFor(options.layout).fullRect(QPageLayout::Millimeter).size();
        for (int p = 0; p < pages.size(); ++p) {
            const QSizeF size = pdfPageSizeMm(pdf, p + 1);
            QVERIFY2(std::abs(size.width() - paper.width()) < 0.2 &&
                         std::abs(size.height() - paper.height()) < 0.2,
                     qPrintable(QStringLiteral("%1 x %2 mm").arg(size.width()).arg(size.height())));
            for (const badges::Placement& place : pages.at(p).places) {
                const QRectF area = place.card.isEmpty() ? QRectF(5, 75, 70, 30) : place.card;
                QCOMPARE(decodeCode39(rasterise(pdf, p + 1, area)), list.at(place.badge).code);
            }
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
            QTest::addRow("%s short", layout) << layout << QString("Ann Lee") << "Clerk" << false;
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
        badges::Badge b = sampleBadge("ACME-0042", name, title);
        b.company = "Consolidated Security & Façade Services Worldwide";
        if (valid)
            b.validUntil = QDate(2027, 6, 30);
        const badges::LayoutInfo info = badges::findLayout(layout);
        const QImage printer = printerAt300Dpi();
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
        badges::writeBadgesPdf(pdf, {sampleBadge("A1"), sampleBadge("A2"), sampleBadge("A3")}, options,
                               [&](const badges::PrintedBadge& p) {
                                   QCOMPARE(p.layout, QStringLiteral("a4-10"));
                                   QCOMPARE(p.destination, pdf);
                                   printed.append(p.index);
                               });
        QCOMPARE(pdfPageCount(pdf), 4);
        QCOMPARE(printed, QList<qsizetype>({0, 1, 2}));
        QCOMPARE(decodeCode39(rasterise(pdf, 3, sheet.cardRect(0))), QStringLiteral("A3"));
    }

    void sheetFiles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString good =
            "name = x\npage = 100 x 100\ncolumns = 1\nrows = 1\nfirst-card = 5 x 5\npitch = 0 x 0\n";
        QTest::newRow("good") << good << "";
        QTest::newRow("no equals") << good + "oops\n" << QString("line 7: expected");
        QTest::newRow("bad pair") << QString(good).replace("100 x 100", "100")
                                  << "line 2: page needs two numbers";
        QTest::newRow("unknown key") << good + "colour = red\n" << QString("line 7: unknown key \"colour\"");
        QTest::newRow("missing") << QString(good).replace("rows = 1\n", "") << "lacks \"rows";
        QTest::newRow("off the page") << QString(good).replace("5 x 5", "20 x 5") << "do not fit on the page";
        QTest::newRow("overlapping")
            << "name = x\npage = 300 x 100\ncolumns = 2\nrows = 1\nfirst-card = 5 x 5\n"
               "pitch = 50 x 0\n"
            << QString("overlap");
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
        QVERIFY(!writeTestFile(badges::sheetsDirectory() + "/broken.sheet", "name = broken\n").isEmpty());
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
        badges::Badge b = sampleBadge("C1");
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
