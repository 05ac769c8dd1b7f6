// The platform as the desktop provides it: Qt's message boxes, input dialog, file dialogs, the
// default printer and the desktop's program for a file.
#pragma once

#include "app/platform.h"

class QtPlatform : public Platform {
public:
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
};
