#pragma once

#include <QDialog>
#include <QString>
#include <map>

class QBoxLayout;
class QPushButton;

// What the two "Paste Options..." dialogs share: modal, each push button ends the dialog
// with its own id (PasteOptionId), Enter picks the default button whichever has the focus,
// and Escape or closing the window answers Cancel. The buttons belong to the dialog.
class CPasteOptionsDialog : public QDialog {
  public:
    // The button with this id, or none.
    QPushButton* GetButton(int id) const;
    // The id of the default button.
    int GetDefaultId() const { return m_defaultId; }

    void reject() override;

  protected:
    explicit CPasteOptionsDialog(QWidget* parent);

    // The text above the buttons, one label per paragraph, in order.
    void AddText(const QString& text);
    // Adds a button to the row; the default one also takes the focus.
    void AddButton(const QString& caption, int id, bool bDefault = false);

  private:
    QBoxLayout* m_pTexts;
    QBoxLayout* m_pButtons;
    std::map<int, QPushButton*> m_buttons;
    int m_defaultId = 0;
};
