// The badge window: one employee's badge with photograph and barcode, ready to print.
#pragma once

#include "badges/badgepainter.h"
#include "badges/pageplan.h"

#include <QImage>
#include <QWidget>

#include <functional>

#include <memory>

class PhotoBox;
class QLabel;
class QPaintDevice;
class QPushButton;

class Form3 : public QWidget {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);
    ~Form3() override;

    // The identification code whose photograph the window loads and which it draws as the barcode.
    void setEmployeeId(const QVariant& vNewValue);
    QString employeeId() const;

    // Company, full name and title; set by the caller before the window is shown.
    QLabel* label1() const;
    QLabel* label2() const;
    QLabel* label3() const;
    PhotoBox* image1() const;
    // The barcode box's persistent image, as last drawn.
    const QImage& barcodeImage() const;

    // What Print puts on paper.
    badges::Badge badge() const;
    // The layout, start place and backs chosen in the window (the layout chosen last in any window).
    badges::PrintOptions printOptions() const;

    // Set by a print run: the employee's record number, the badge validity in months (0: none), and
    // the reason the run asked for when this code was printed before (the window then asks no more).
    void setRecordId(qint64 key);
    void setValidityMonths(int months);
    void setReprintReason(const QString& reason, const QString& note);

    // Prints on the default printer, or into the badges folder when there is none, and closes the
    // window. A failure is reported and the window stays.
    void printBadge();
    void printPreview();
    // Asks for a file and writes the badge there as PDF; the window stays.
    void printToPdf();

private:
    void buildControls();
    void formActivate();
    void loadPhoto();
    void drawBarcode();
    void reportUndrawableCode(const QString& message);
    bool refuseUndrawableCode();
    void findCodeHolders();
    void layoutChosen();
    // The captions shrink, then break onto a second line, as the texts do on paper, instead of being cut.
    void fitLabels();
    // Tells what will not come out right on the device (nullptr: a PDF file); false unless the operator
    // says to print all the same.
    // printer: the printer's name, to check that it offers a card-sized page; empty for a file.
    bool confirmProblems(const badges::Badge& printed, const QPaintDevice* device, const QString& printer);
    // The ledger's count and last print of the code, under the layout choices.
    void showPrintHistory();
    // Why the badge is printed: empty for a first print; asks when the code was printed before.
    // False when the operator cancels.
    bool chooseReason(const badges::Badge& printed, QString* reason, QString* note);
    // Records the badge in the ledger, printed on the named layout, and delivers it in the same step;
    // see ledger::recordIssues.
    void recordAndDeliver(const badges::Badge& printed, const QString& reason, const QString& note,
                          const QString& destination, const QString& layout,
                          const std::function<void()>& deliver, const std::function<void()>& takeBack = {});

    struct Private;
    std::unique_ptr<Private> d;
};
