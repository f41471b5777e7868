#pragma once

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QStringList>

#include "document/SaveAsNameCheck.h"
#include "platform/UserPrompts.h"

// The save-file dialog of Save As and of the stereo export: Qt's own (non-native) file dialog
// that refuses the names of open documents, asks before replacing a file, and keeps the name's
// extension in step with the chosen file type, 1 = WAV, 2 = AIFF. The prompts and the open-
// document query belong to the caller and must outlive the dialog.
class MySaveAsFileDialog : public QFileDialog {
  public:
    MySaveAsFileDialog(QWidget* parent, const QString& caption, const QString& initialName,
                       const QString& startFolder, UserPrompts& prompts,
                       SaveAsNameCheck::IsOpenQuery isOpen,
                       int fileType = SaveAsNameCheck::kWaveType);

    // A document's own Save As: its own path may be chosen again. Export never sets it.
    void SetOwnDocument(const QString& fullPath);

    // After OK: the full path, the name with extension, and the chosen file type.
    QString GetPathName() const { return m_pathName; }
    QString GetFileTitle() const { return m_fileTitle; }
    int GetFileType() const;

    // A line under the dialog's controls saying why it is shown; empty hides it.
    void SetReason(const QString& reason);
    QString Reason() const;

    // A labelled list under the name and type boxes (an export's sample format); returns it,
    // owned by the dialog, named "saveChoice" followed by its order from 0.
    QComboBox* AddChoice(const QString& label, const QStringList& options, int selected);
    // A value typed beside a list AddChoice made, from low to high with one decimal, which
    // counts only while the list's last option is taken; named "saveNumber" followed by the
    // list's order. Owned by the dialog.
    QDoubleSpinBox* AddNumber(QComboBox* list, double low, double high, double value,
                              const QString& unit);

    // The name box of the dialog.
    QLineEdit* NameBox() const;

    // As in any Qt file dialog, a folder's name or path enters it and ".." goes up; only a
    // file name goes on to the checks, and the dialog closes when they let it.
    void accept() override;

  protected:
    void done(int result) override;

  private:
    // The name box's text as a full path, cleaned.
    QString EnteredPath(const QString& typed) const;
    void AcceptName(const QString& entered);
    void OnFilterSelected(const QString& filter);

    SaveAsNameCheck m_check;
    QStringList m_patterns;
    // The name as the user last typed it (or as given): its extension's letter case is the
    // one a change of type keeps, whatever Qt's own filter change put in the box.
    QString m_typedName;
    QString m_pathName;
    QString m_fileTitle;
    QLabel* m_pReason = nullptr;  // made on first use, owned by the dialog
    int m_choices = 0;
};
