#include "shell/SaveNameDialog.h"

#include "shell/MySaveAsFileDialog.h"

bool RunSaveNameDialog(QWidget* parent, const SaveNameRequest& request, SaveNameResult& result,
                       UserPrompts& prompts, SaveAsNameCheck::IsOpenQuery isOpen) {
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
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    result.fullPath = dialog.GetPathName().toStdString();
    result.title = dialog.GetFileTitle().toStdString();
    result.filterIndex = dialog.GetFileType();
    return true;
}
