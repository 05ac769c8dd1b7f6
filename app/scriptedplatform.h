// A platform for tests: answers are queued in advance and every call is recorded. Print jobs become
// PDF files in a folder the test chooses; without one the machine behaves as if it had no printer.
#pragma once

#include "app/platform.h"

#include <QList>
#include <QQueue>
#include <QStringList>

class ScriptedPlatform : public Platform {
public:
    struct MessageCall {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
        Button defaultButton;
    };
    struct ChoiceCall {
        QString text;
        QStringList choices;
        int defaultChoice;
    };
    struct InputCall {
        QString prompt;
        QString title;
        QString defaultText;
    };

    ScriptedPlatform();
    ~ScriptedPlatform() override;

    // Answers, taken in order. An unanswered message box returns its default button; an unanswered
    // input box or file chooser returns "cancelled".
    QQueue<Button> messageAnswers;
    QQueue<std::optional<QString>> inputAnswers;
    QQueue<std::optional<Choice>> choiceAnswers; // unanswered: the default choice with no note
    QQueue<std::optional<QString>> fileAnswers;
    QString printFolder; // where print jobs are written as PDF files; empty = no printer

    // What happened.
    QList<MessageCall> messages;
    QList<InputCall> inputs;
    QList<ChoiceCall> choices;
    QStringList fileDialogCaptions;
    QStringList fileDialogStarts; // the start path each chooser was given
    QStringList printedFiles;
    QStringList openedFiles;
    int previewCount = 0;
    int previewPages = 0;
    QStringList progressLabels; // one per progress shown
    int progressUpdates = 0;
    int cancelProgressAfter = -1; // the progress reports "cancelled" after this many updates; -1 never

    Button messageBox(QObject* parent, const QString& text, const QString& title, Icon icon, Buttons buttons,
                      Button defaultButton) override;
    std::optional<QString> inputBox(QObject* parent, const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<Choice> choiceBox(QObject* parent, const QString& text, const QString& title,
                                    const QStringList& choices, int defaultChoice,
                                    const QString& notePrompt) override;
    std::optional<QString> openFileName(QObject* parent, const QString& caption, const QString& startPath,
                                        const QString& filter) override;
    std::optional<QString> saveFileName(QObject* parent, const QString& caption, const QString& startPath,
                                        const QString& filter) override;
    std::unique_ptr<PrintJob> startPrintJob(const QString& documentName) override;
    void printPreview(QObject* parent, const std::function<void(QPagedPaintDevice&)>& paint) override;
    bool openWithDesktop(const QString& path) override;
    std::unique_ptr<ProgressReport> startProgress(QObject* parent, const QString& label, const QString& title,
                                                  int maximum) override;

private:
    Platform* m_previous = nullptr;
};
