#include "shell/CFileOpenDialog.h"

#include <QFileSystemModel>

CFileOpenDialog::CFileOpenDialog(QWidget* parent, const QString& title, const QString& startFolder,
                                 const QList<Filter>& filters, const QString& defaultExtension)
    : QFileDialog(parent, title, startFolder), m_filters(filters) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setDefaultSuffix(defaultExtension);
    QStringList names;
    for (const Filter& filter : filters) {
        names << filter.name;
    }
    setNameFilters(names);
    // Qt applies its own reading of a filter first; ours comes after it.
    connect(this, &QFileDialog::filterSelected, this, &CFileOpenDialog::ApplyPatterns);
    if (!names.isEmpty()) {
        selectNameFilter(names.first());
        ApplyPatterns(names.first());
    }
}

QStringList CFileOpenDialog::PatternsOf(const QString& name) const {
    QStringList patterns;
    for (const Filter& filter : m_filters) {
        if (filter.name != name) {
            continue;
        }
        for (const QString& pattern : filter.pattern.split(';', Qt::SkipEmptyParts)) {
            patterns << (pattern == "*.*" ? QStringLiteral("*") : pattern);
        }
    }
    return patterns;
}

void CFileOpenDialog::ApplyPatterns(const QString& name) {
    if (auto* model = findChild<QFileSystemModel*>()) {
        // "take.WAV" is a sound file as much as "take.wav" is.
        setFilter(filter() & ~QDir::CaseSensitive);
        model->setNameFilters(PatternsOf(name));
    }
}
