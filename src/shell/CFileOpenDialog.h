#pragma once

#include <QFileDialog>
#include <QList>
#include <QString>

// The Open command's dialog: Qt's own file dialog for one existing file. Its filter patterns
// are lists joined by ";" ("*.wav;*.aif") and "*.*" means every file, as the filter names
// show them; Qt's own filter parsing would take "*.wav;*.aif" as one pattern. Patterns match
// in any letter case.
class CFileOpenDialog : public QFileDialog {
  public:
    struct Filter {
        QString name;     // shown as it stands: "Sound Files (*.wav;*.aif)"
        QString pattern;  // "*.wav;*.aif"
    };

    // The first filter is selected; defaultExtension is without its dot.
    CFileOpenDialog(QWidget* parent, const QString& title, const QString& startFolder,
                    const QList<Filter>& filters, const QString& defaultExtension);

    // The model's name patterns for the filter shown as name.
    QStringList PatternsOf(const QString& name) const;

  private:
    void ApplyPatterns(const QString& name);

    QList<Filter> m_filters;
};
