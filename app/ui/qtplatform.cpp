#include "app/ui/qtplatform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QUrl>

namespace {

QWidget* asWidget(QObject* parent) {
    return qobject_cast<QWidget*>(parent);
}

QMessageBox::StandardButton toQt(Platform::Button button) {
    switch (button) {
    case Platform::Ok:
        return QMessageBox::Ok;
    case Platform::Cancel:
        return QMessageBox::Cancel;
    case Platform::Yes:
        return QMessageBox::Yes;
    case Platform::No:
        return QMessageBox::No;
    case Platform::NoButton:
        break;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon toQt(Platform::Icon icon) {
    switch (icon) {
    case Platform::Icon::Information:
        return QMessageBox::Information;
    case Platform::Icon::Warning:
        return QMessageBox::Warning;
    case Platform::Icon::Critical:
        return QMessageBox::Critical;
    case Platform::Icon::Question:
        return QMessageBox::Question;
    case Platform::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class PrinterJob : public PrintJob {
public:
    PrinterJob(const QPrinterInfo& info, const QString& documentName)
        : m_printer(info, QPrinter::HighResolution) {
        m_printer.setDocName(documentName);
        m_printer.setFullPage(true);
    }
    QPagedPaintDevice* device() override { return &m_printer; }
    QString destination() const override { return m_printer.printerName(); }
    bool isFile() const override { return false; }
    bool finish() override { return m_printer.printerState() != QPrinter::Error; }

private:
    QPrinter m_printer;
};

} // namespace

Platform::Button QtPlatform::messageBox(QObject* parent, const QString& text, const QString& title, Icon icon,
                                        Buttons buttons, Button defaultButton) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, asWidget(parent));
    for (Button b : {Yes, No, Ok, Cancel})
        if (buttons.testFlag(b))
            box.addButton(toQt(b));
    if (defaultButton != NoButton)
        box.setDefaultButton(toQt(defaultButton));
    const int answer = box.exec();
    switch (answer) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Ok:
        return Ok;
    default:
        return buttons.testFlag(Cancel) ? Cancel : (buttons.testFlag(No) ? No : Ok);
    }
}

std::optional<QString> QtPlatform::inputBox(QObject* parent, const QString& prompt, const QString& title,
                                            const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(asWidget(parent), title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<Platform::Choice> QtPlatform::choiceBox(QObject* parent, const QString& text,
                                                      const QString& title, const QStringList& choices,
                                                      int defaultChoice, const QString& notePrompt) {
    QDialog dialog(asWidget(parent));
    dialog.setWindowTitle(title);
    auto* layout = new QFormLayout(&dialog);
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    layout->addRow(label);
    auto* list = new QComboBox(&dialog);
    list->setObjectName(QStringLiteral("ChoiceList"));
    list->addItems(choices);
    list->setCurrentIndex(defaultChoice);
    layout->addRow(list);
    QLineEdit* note = nullptr;
    if (!notePrompt.isEmpty()) {
        note = new QLineEdit(&dialog);
        note->setObjectName(QStringLiteral("ChoiceNote"));
        layout->addRow(notePrompt, note);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return Choice{list->currentIndex(), note ? note->text() : QString()};
}

std::optional<QString> QtPlatform::openFileName(QObject* parent, const QString& caption,
                                                const QString& startPath, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(asWidget(parent), caption, startPath, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPlatform::saveFileName(QObject* parent, const QString& caption,
                                                const QString& startPath, const QString& filter) {
    const QString path = QFileDialog::getSaveFileName(asWidget(parent), caption, startPath, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::unique_ptr<PrintJob> QtPlatform::startPrintJob(const QString& documentName) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_unique<PrinterJob>(info, documentName);
}

void QtPlatform::printPreview(QObject* parent, const std::function<void(QPagedPaintDevice&)>& paint) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    QPrintPreviewDialog dialog(&printer, asWidget(parent));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&paint](QPrinter* target) { paint(*target); });
    dialog.exec();
}

bool QtPlatform::openWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::unique_ptr<ProgressReport> QtPlatform::startProgress(QObject* parent, const QString& label,
                                                          const QString& title, int maximum) {
    struct Dialog : ProgressReport {
        Dialog(QWidget* parent, const QString& label, const QString& title, int maximum)
            : dialog(label, QStringLiteral("Cancel"), 0, maximum, parent) {
            dialog.setWindowTitle(title);
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.setMinimumDuration(0);
            dialog.setValue(0);
        }
        bool update(int value) override {
            if (value >= 0)
                dialog.setValue(qMin(value, dialog.maximum() - 1)); // the dialog closes itself at the maximum
            QCoreApplication::processEvents();
            return !dialog.wasCanceled();
        }
        QProgressDialog dialog;
    };
    return std::make_unique<Dialog>(qobject_cast<QWidget*>(parent), label, title, maximum);
}
