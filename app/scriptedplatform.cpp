#include "app/scriptedplatform.h"

#include <QBuffer>
#include <QDir>
#include <QPdfWriter>

namespace {

class PdfFileJob : public PrintJob {
public:
    PdfFileJob(const QString& path, QStringList* record) : m_path(path), m_writer(path), m_record(record) {
        m_writer.setResolution(1200);
        m_writer.setPageSize(QPageSize(QPageSize::Letter));
        m_writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    }
    QPagedPaintDevice* device() override { return &m_writer; }
    QString destination() const override { return m_path; }
    bool isFile() const override { return true; }
    bool finish() override {
        m_record->append(m_path);
        return true;
    }

private:
    QString m_path;
    QPdfWriter m_writer;
    QStringList* m_record;
};

} // namespace

// Installs itself for the lifetime of the test object and restores what was there before.
ScriptedPlatform::ScriptedPlatform() {
    try {
        m_previous = &Platform::instance();
    } catch (const std::logic_error&) {
        m_previous = nullptr;
    }
    Platform::install(this);
}

ScriptedPlatform::~ScriptedPlatform() {
    Platform::install(m_previous);
}

Platform::Button ScriptedPlatform::messageBox(QObject*, const QString& text, const QString& title, Icon icon,
                                              Buttons buttons, Button defaultButton) {
    messages.append({text, title, icon, buttons, defaultButton});
    return messageAnswers.isEmpty() ? defaultButton : messageAnswers.dequeue();
}

std::optional<QString> ScriptedPlatform::inputBox(QObject*, const QString& prompt, const QString& title,
                                                  const QString& defaultText) {
    inputs.append({prompt, title, defaultText});
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
}

std::optional<Platform::Choice> ScriptedPlatform::choiceBox(QObject*, const QString& text, const QString&,
                                                            const QStringList& offered, int defaultChoice,
                                                            const QString&) {
    choices.append({text, offered, defaultChoice});
    return choiceAnswers.isEmpty() ? std::optional<Choice>(Choice{defaultChoice, {}})
                                   : choiceAnswers.dequeue();
}

std::optional<QString> ScriptedPlatform::openFileName(QObject*, const QString& caption,
                                                      const QString& startPath, const QString&) {
    fileDialogCaptions.append(caption);
    fileDialogStarts.append(startPath);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::optional<QString> ScriptedPlatform::saveFileName(QObject*, const QString& caption,
                                                      const QString& startPath, const QString&) {
    fileDialogCaptions.append(caption);
    fileDialogStarts.append(startPath);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::unique_ptr<PrintJob> ScriptedPlatform::startPrintJob(const QString&) {
    if (printFolder.isEmpty())
        return nullptr;
    QDir().mkpath(printFolder);
    const QString path =
        QDir(printFolder)
            .filePath(QStringLiteral("printed-%1.pdf").arg(printedFiles.size() + 1, 3, 10, QChar('0')));
    return std::make_unique<PdfFileJob>(path, &printedFiles);
}

void ScriptedPlatform::printPreview(QObject*, const std::function<void(QPagedPaintDevice&)>& paint) {
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QPdfWriter writer(&sink);
    paint(writer);
    ++previewCount;
    previewPages += 1;
}

bool ScriptedPlatform::openWithDesktop(const QString& path) {
    openedFiles.append(path);
    return true;
}

std::unique_ptr<ProgressReport> ScriptedPlatform::startProgress(QObject*, const QString& label,
                                                                const QString&, int) {
    struct Counted : ProgressReport {
        explicit Counted(ScriptedPlatform& owner) : platform(owner) {}
        bool update(int) override {
            ++platform.progressUpdates;
            return platform.cancelProgressAfter < 0 ||
                   platform.progressUpdates <= platform.cancelProgressAfter;
        }
        ScriptedPlatform& platform;
    };
    progressLabels.append(label);
    return std::make_unique<Counted>(*this);
}
