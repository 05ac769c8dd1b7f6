// The seam to what the desktop provides: message boxes, input boxes, file choosers, the printer and
// opening a file with the desktop's program. Windows call these instead of Qt dialogs directly, so a
// scripted implementation can answer them in tests. Core libraries never call it.
#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QObject;
class QPagedPaintDevice;

// A long task shown to the operator (a progress dialog on the desktop).
class ProgressReport {
public:
    virtual ~ProgressReport() = default;
    // Shows how far the task is (0..maximum; -1 keeps the value and only lets the window draw);
    // returns false once the operator has cancelled.
    virtual bool update(int value) = 0;
};

// One document on its way to a printer (or a PDF file standing in for one).
class PrintJob {
public:
    virtual ~PrintJob() = default;
    virtual QPagedPaintDevice* device() = 0;
    // Where the pages go: a printer's name or a file path, for telling the operator.
    virtual QString destination() const = 0;
    virtual bool isFile() const = 0;
    // Ends the document; false when the pages could not be delivered.
    virtual bool finish() = 0;
};

class Platform {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum Button { NoButton = 0x0, Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };
    Q_DECLARE_FLAGS(Buttons, Button)

    virtual ~Platform() = default;

    virtual Button messageBox(QObject* parent, const QString& text, const QString& title, Icon icon,
                              Buttons buttons, Button defaultButton) = 0;
    // Returns the typed text, or nothing when cancelled.
    virtual std::optional<QString> inputBox(QObject* parent, const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // One of several choices, with a line of text to go with it (notePrompt labels it; no line when
    // empty). Returns the choice and the text, or nothing when cancelled.
    struct Choice {
        int index = -1;
        QString note;
    };
    virtual std::optional<Choice> choiceBox(QObject* parent, const QString& text, const QString& title,
                                            const QStringList& choices, int defaultChoice,
                                            const QString& notePrompt) = 0;
    // Returns the chosen path, or nothing when cancelled.
    virtual std::optional<QString> openFileName(QObject* parent, const QString& caption,
                                                const QString& startPath, const QString& filter) = 0;
    virtual std::optional<QString> saveFileName(QObject* parent, const QString& caption,
                                                const QString& startPath, const QString& filter) = 0;
    // A job on the default printer; nothing when the machine has no printer.
    virtual std::unique_ptr<PrintJob> startPrintJob(const QString& documentName) = 0;
    // Shows the pages that paint() draws as the printer would print them.
    virtual void printPreview(QObject* parent, const std::function<void(QPagedPaintDevice&)>& paint) = 0;
    virtual bool openWithDesktop(const QString& path) = 0;
    // Progress of a long task with a Cancel button; nothing is shown unless overridden.
    virtual std::unique_ptr<ProgressReport> startProgress(QObject* parent, const QString& label,
                                                          const QString& title, int maximum);

    // The implementation in use. The program installs the Qt one at start; tests install a scripted one.
    static Platform& instance();
    static void install(Platform* platform);

    // Shorthands for the common boxes.
    void critical(QObject* parent, const QString& text, const QString& title);
    void information(QObject* parent, const QString& text, const QString& title);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Platform::Buttons)
