#include "shell/MySaveAsFileDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <utility>

#include "document/DocumentHost.h"

MySaveAsFileDialog::MySaveAsFileDialog(QWidget* parent, const QString& caption,
                                       const QString& initialName, const QString& startFolder,
                                       UserPrompts& prompts, SaveAsNameCheck::IsOpenQuery isOpen,
                                       int fileType)
    : QFileDialog(parent, caption, startFolder), m_check(prompts, std::move(isOpen)) {
    // The replace question is ours, and only Qt's own dialog lets us check before it closes.
    setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);

    QStringList filters;
    for (const SaveNameRequest::Filter& filter : kSoundFileFilters) {
        const QString pattern = QString::fromStdString(filter.pattern);
        m_patterns << pattern;
        filters << QString("%1 (%2)").arg(QString::fromStdString(filter.name), pattern);
    }
    setNameFilters(filters);
    if (fileType >= 1 && fileType <= filters.size()) {
        selectNameFilter(filters[fileType - 1]);
    }
    if (!initialName.isEmpty()) {
        selectFile(initialName);
    }
    m_typedName = initialName;
    if (QLineEdit* box = NameBox()) {
        connect(box, &QLineEdit::textEdited, this,
                [this](const QString& text) { m_typedName = text; });
    }
    // Connected last, so setting up the first filter leaves the caller's name alone.
    connect(this, &QFileDialog::filterSelected, this, &MySaveAsFileDialog::OnFilterSelected);
}

void MySaveAsFileDialog::SetOwnDocument(const QString& fullPath) {
    m_check.SetOwnDocument(fullPath.toStdString());
}

int MySaveAsFileDialog::GetFileType() const {
    return static_cast<int>(nameFilters().indexOf(selectedNameFilter())) + 1;
}

void MySaveAsFileDialog::SetReason(const QString& reason) {
    if (m_pReason == nullptr) {
        m_pReason = new QLabel(this);
        m_pReason->setObjectName("saveReason");
        m_pReason->setWordWrap(true);
        // Qt's own dialog lays its controls out on a grid: the line goes under all of them.
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            grid->addWidget(m_pReason, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    m_pReason->setText(reason);
    m_pReason->setVisible(!reason.isEmpty());
}

QComboBox* MySaveAsFileDialog::AddChoice(const QString& label, const QStringList& options,
                                         int selected) {
    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("saveChoice%1").arg(m_choices++));
    box->addItems(options);
    box->setCurrentIndex(selected >= 0 && selected < options.size() ? selected : 0);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(box);
    // Beside the file type's row, in the label and box columns of Qt's own grid.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(caption, row, 0);
        grid->addWidget(box, row, 1);
    }
    return box;
}

QDoubleSpinBox* MySaveAsFileDialog::AddNumber(QComboBox* list, double low, double high,
                                              double value, const QString& unit) {
    auto* number = new QDoubleSpinBox(this);
    number->setObjectName(list->objectName().replace("saveChoice", "saveNumber"));
    number->setRange(low, high);
    number->setDecimals(1);
    number->setSingleStep(0.5);
    number->setValue(value);
    number->setSuffix(" " + unit);
    // The number takes the list's place in Qt's grid, the two side by side.
    auto* grid = qobject_cast<QGridLayout*>(layout());
    const int at = grid != nullptr ? grid->indexOf(list) : -1;
    if (at >= 0) {
        int row = 0;
        int column = 0;
        int rows = 0;
        int columns = 0;
        grid->getItemPosition(at, &row, &column, &rows, &columns);
        auto* pair = new QWidget(this);
        auto* line = new QHBoxLayout(pair);
        line->setContentsMargins(0, 0, 0, 0);
        grid->removeWidget(list);
        line->addWidget(list, 1);
        line->addWidget(number);
        grid->addWidget(pair, row, column);
    }
    const auto follow = [list, number] {
        number->setEnabled(list->currentIndex() == list->count() - 1);
    };
    connect(list, &QComboBox::currentIndexChanged, number, follow);
    follow();
    return number;
}

QString MySaveAsFileDialog::Reason() const {
    return m_pReason != nullptr ? m_pReason->text() : QString();
}

QLineEdit* MySaveAsFileDialog::NameBox() const {
    // The name box of Qt's own file dialog carries this object name.
    return findChild<QLineEdit*>("fileNameEdit");
}

void MySaveAsFileDialog::accept() {
    const QString typed = NameBox()->text();
    if (typed.isEmpty() || typed == "..") {
        // Qt's own: the folder chosen in the list, or the one above.
        QFileDialog::accept();
        return;
    }
    const QString entered = EnteredPath(typed);
    if (QFileInfo(entered).isDir()) {
        setDirectory(entered);
        return;
    }
    AcceptName(entered);
}

void MySaveAsFileDialog::done(int result) {
    if (result == QDialog::Accepted) {
        // Qt's own accept settled on a name, the list's choice: checked like a typed one.
        AcceptName(QDir::cleanPath(selectedFiles().value(0)));
        return;
    }
    QFileDialog::done(result);
}

QString MySaveAsFileDialog::EnteredPath(const QString& typed) const {
    // As Qt's dialog reads its name box: relative to the folder shown, "~" for the home
    // folder unless a file of that name is there.
    QString path = typed;
    const bool bHome = typed == "~" || typed.startsWith("~/");
    if (bHome && !directory().exists(typed)) {
        path = QDir::homePath() + typed.mid(1);
    }
    return QDir::cleanPath(directory().absoluteFilePath(path));
}

void MySaveAsFileDialog::AcceptName(const QString& entered) {
    const SaveAsNameCheck::Outcome outcome =
        m_check.CheckOnAccept(entered.toStdString(), GetFileType());
    if (!outcome.title.empty()) {
        NameBox()->setText(QString::fromStdString(outcome.title));
    }
    if (!outcome.accepted) {
        return;
    }
    m_pathName = QString::fromStdString(outcome.fullPath);
    m_fileTitle = QString::fromStdString(outcome.title);
    QFileDialog::done(QDialog::Accepted);
}

void MySaveAsFileDialog::OnFilterSelected(const QString& filter) {
    std::vector<std::string> patterns;
    for (const QString& pattern : m_patterns) {
        patterns.push_back(pattern.toStdString());
    }
    const int index = static_cast<int>(nameFilters().indexOf(filter)) + 1;
    // Qt has already put the filter's extension, as the filter writes it, into the box.
    QString shown = NameBox()->text();
    const QString qtExtension = QFileInfo(shown).suffix();
    const QString typedExtension = QFileInfo(m_typedName).suffix();
    if (!qtExtension.isEmpty()) {
        shown.chop(qtExtension.size());
        shown += typedExtension.isEmpty() ? qtExtension.toLower() : typedExtension;
    }
    const std::optional<std::string> name =
        SaveAsNameCheck::NameForFileType(patterns, index, shown.toStdString());
    if (name) {
        NameBox()->setText(QString::fromStdString(*name));
    }
}
