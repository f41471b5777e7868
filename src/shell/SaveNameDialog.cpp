#include "shell/SaveNameDialog.h"

#include <vector>

#include "platform/SettingsStore.h"
#include "shell/MySaveAsFileDialog.h"

namespace {

constexpr char kExportSection[] = "Export";

}  // namespace

bool RunSaveNameDialog(QWidget* parent, const SaveNameRequest& request, SaveNameResult& result,
                       UserPrompts& prompts, SaveAsNameCheck::IsOpenQuery isOpen,
                       SettingsStore* settings) {
    MySaveAsFileDialog dialog(parent, QString::fromStdString(request.title),
                              QString::fromStdString(request.proposedName),
                              QString::fromStdString(request.startFolder), prompts,
                              std::move(isOpen), request.filterIndex);
    if (request.bOwnDocument) {
        dialog.SetOwnDocument(QString::fromStdString(request.ownDocumentPath));
    }
    if (!request.reason.empty()) {
        dialog.SetReason(QString::fromStdString(request.reason));
    }
    std::vector<QComboBox*> boxes;
    for (const SaveNameRequest::Choice& choice : request.choices) {
        QStringList options;
        for (const std::string& option : choice.options) {
            options << QString::fromStdString(option);
        }
        int selected = choice.selected;
        if (settings != nullptr && !choice.key.empty()) {
            selected = settings->GetInt(kExportSection, choice.key, selected);
        }
        boxes.push_back(dialog.AddChoice(QString::fromStdString(choice.label), options, selected));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    result.choices.clear();
    for (size_t i = 0; i < boxes.size(); ++i) {
        result.choices.push_back(boxes[i]->currentIndex());
        if (settings != nullptr && !request.choices[i].key.empty()) {
            settings->SetInt(kExportSection, request.choices[i].key, boxes[i]->currentIndex());
        }
    }
    result.fullPath = dialog.GetPathName().toStdString();
    result.title = dialog.GetFileTitle().toStdString();
    result.filterIndex = dialog.GetFileType();
    return true;
}
