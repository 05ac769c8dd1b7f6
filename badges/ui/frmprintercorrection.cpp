// The printer correction window.
#include "badges/ui/frmprintercorrection.h"

#include "app/apperror.h"
#include "app/appfacts.h"
#include "app/platform.h"
#include "app/ui/childwindows.h"
#include "badges/badgeprinting.h"
#include "badges/badgesettings.h"
#include "badges/layoutcatalogue.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPrinterInfo>
#include <QPushButton>

namespace {

QDoubleSpinBox* spinBox(QWidget* parent, const char* name, double low, double high, const QString& suffix) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setDecimals(1);
    box->setSingleStep(0.1);
    box->setSuffix(suffix);
    return box;
}

} // namespace

FrmPrinterCorrection::FrmPrinterCorrection(QWidget* parent) : QWidget(parent) {
    namespace settings = badges::settings;
    setObjectName(QStringLiteral("FrmPrinterCorrection"));
    setWindowTitle(tr("Printer Correction"));
    m_printer = new QComboBox(this);
    m_printer->setObjectName(QStringLiteral("CboPrinter"));
    m_printer->setEditable(true);
    m_printer->addItems(QPrinterInfo::availablePrinterNames());
    m_printer->setCurrentText(QPrinterInfo::defaultPrinterName());
    m_layout = new QComboBox(this);
    m_layout->setObjectName(QStringLiteral("CboLayout"));
    for (const badges::LayoutInfo& layout : badges::availableLayouts())
        m_layout->addItem(layout.name);
    m_layout->setCurrentText(settings::lastLayout());
    m_offsetX = spinBox(this, "TxtOffsetX", -settings::MaxOffset, settings::MaxOffset, tr(" mm"));
    m_offsetY = spinBox(this, "TxtOffsetY", -settings::MaxOffset, settings::MaxOffset, tr(" mm"));
    m_scale = spinBox(this, "TxtScale", settings::MinScale, settings::MaxScale, tr(" %"));
    m_offsetX->setToolTip(tr("Moves everything printed to the right (negative: to the left)"));
    m_offsetY->setToolTip(tr("Moves everything printed down (negative: up)"));

    auto* form = new QFormLayout(this);
    form->addRow(tr("&Printer:"), m_printer);
    form->addRow(tr("&Right by:"), m_offsetX);
    form->addRow(tr("&Down by:"), m_offsetY);
    form->addRow(tr("&Scale:"), m_scale);
    form->addRow(tr("&Layout:"), m_layout);
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& caption, void (FrmPrinterCorrection::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button("CmdCalibration", tr("&Calibration Page"), &FrmPrinterCorrection::printCalibration);
    button("CmdSave", tr("&Keep"), &FrmPrinterCorrection::save);
    form->addRow(buttons);
    connect(m_printer, &QComboBox::currentTextChanged, this, &FrmPrinterCorrection::printerChosen);
    printerChosen();
}

void FrmPrinterCorrection::printerChosen() {
    const badges::Calibration kept = badges::settings::calibration(m_printer->currentText());
    m_offsetX->setValue(kept.offsetX);
    m_offsetY->setValue(kept.offsetY);
    m_scale->setValue(kept.scale);
}

void FrmPrinterCorrection::save() {
    const QString printer = m_printer->currentText().trimmed();
    if (printer.isEmpty()) {
        ChildWindows::reportError(this, tr("Name the printer whose correction this is."));
        return;
    }
    try {
        badges::settings::setCalibration(printer, {m_offsetX->value(), m_offsetY->value(), m_scale->value()});
    } catch (const AppError& error) {
        ChildWindows::reportError(this, error.description());
    }
}

void FrmPrinterCorrection::printCalibration() {
    badges::PrintOptions options;
    try {
        options.layout = badges::findLayout(m_layout->currentText());
    } catch (const AppError& error) {
        ChildWindows::reportError(this, error.description());
        return;
    }
    options.calibration = {m_offsetX->value(), m_offsetY->value(), m_scale->value()};
    try {
        std::unique_ptr<PrintJob> job = Platform::instance().startPrintJob(tr("Calibration page"));
        if (job) {
            badges::paintCalibration(*job->device(), options);
            if (!job->finish())
                throw AppError(
                    tr("The calibration page could not be delivered to %1.").arg(job->destination()));
            return;
        }
        const QString path = badges::newBadgeFilePath(QStringLiteral("calibration"));
        badges::writeCalibrationPdf(path, options);
        Platform::instance().information(
            this,
            tr("No printer is set up on this computer, so the calibration page was saved as %1.")
                .arg(QDir::toNativeSeparators(path)),
            AppFacts::applicationTitle());
    } catch (const AppError& error) {
        ChildWindows::reportError(this,
                                  tr("The calibration page was not printed. %1").arg(error.description()));
    }
}
