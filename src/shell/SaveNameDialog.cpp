#include "shell/SaveNameDialog.h"

#include <vector>

#include "platform/SettingsStore.h"
#include "shell/MySaveAsFileDialog.h"

namespace {

constexpr char kExportSection[] = "Export";
// A choice's typed value is remembered beside its option.
constexpr char kValueSuffix[] = "Value";

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
    std::vector<QDoubleSpinBox*> numbers;
    for (const SaveNameRequest::Choice& choice : request.choices) {
        QStringList options;
        for (const std::string& option : choice.options) {
            options << QString::fromStdString(option);
        }
        const bool bRemembered = settings != nullptr && !choice.key.empty();
        int selected = choice.selected;
        if (bRemembered) {
            selected = settings->GetInt(kExportSection, choice.key, selected);
        }
        boxes.push_back(dialog.AddChoice(QString::fromStdString(choice.label), options, selected));
        numbers.push_back(nullptr);
        if (const auto& number = choice.number) {
            double value = number->value;
            if (bRemembered) {
                bool bRead = false;
                const double stored =
                    QString::fromStdString(
                        settings->GetString(kExportSection, choice.key + std::string(kValueSuffix),
                                            ""))
                        .toDouble(&bRead);
                value = bRead ? stored : value;
            }
            numbers.back() = dialog.AddNumber(boxes.back(), number->low, number->high, value,
                                              QString::fromStdString(number->unit));
        }
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    result.choices.clear();
    result.numbers.clear();
    for (size_t i = 0; i < boxes.size(); ++i) {
        result.choices.push_back(boxes[i]->currentIndex());
        result.numbers.push_back(numbers[i] != nullptr ? numbers[i]->value() : 0.0);
        if (settings != nullptr && !request.choices[i].key.empty()) {
            settings->SetInt(kExportSection, request.choices[i].key, boxes[i]->currentIndex());
            if (numbers[i] != nullptr) {
                settings->SetString(kExportSection,
                                    request.choices[i].key + std::string(kValueSuffix),
                                    QString::number(numbers[i]->value()).toStdString());
            }
        }
    }
    result.fullPath = dialog.GetPathName().toStdString();
    result.title = dialog.GetFileTitle().toStdString();
    result.filterIndex = dialog.GetFileType();
    return true;
}
