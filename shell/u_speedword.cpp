#include "u_speedword.h"

#include "dialogs.h"
#include "u_main.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace ostrim {

namespace {

// A sorted list box orders without regard to case; a word equal but for case goes after the
// ones already there.
int sortedPosition(const QListWidget& list, const QString& word) {
    int row = 0;
    while (row < list.count() && list.item(row)->text().compare(word, Qt::CaseInsensitive) <= 0)
        ++row;
    return row;
}

void insertSorted(QListWidget& list, const QString& word) {
    list.insertItem(sortedPosition(list, word), word);
}

} // namespace

Tf_speedword::Tf_speedword(Tmain& main, QWidget* parent) : QDialog(parent), m_main(main) {
    setObjectName("f_speedword");
    setWindowTitle("Speedword Maintenance");
    e_word = new QLineEdit(this);
    e_word->setObjectName("e_word");
    l_speedwords = new QListWidget(this);
    l_speedwords->setObjectName("l_speedwords");
    l_speedwords->setSelectionMode(QAbstractItemView::SingleSelection);
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    btn_add = button("btn_add", "&Add");
    btn_delete = button("btn_delete", "&Delete");
    // Escape closes the dialog as this button does.
    btn_close = button("btn_close", "&Close");

    auto* label = new QLabel("Word:", this);
    label->setBuddy(e_word);
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(e_word, 0, 1);
    layout->addWidget(btn_add, 0, 2);
    layout->addWidget(l_speedwords, 1, 0, 3, 2);
    layout->addWidget(btn_delete, 1, 2);
    layout->addWidget(btn_close, 2, 2);
    layout->setRowStretch(3, 1);

    connect(btn_add, &QPushButton::clicked, this, &Tf_speedword::btn_addClick);
    connect(btn_delete, &QPushButton::clicked, this, &Tf_speedword::btn_deleteClick);
    connect(btn_close, &QPushButton::clicked, this, &QDialog::reject);
    // Arrow keys pick a word as a click does.
    connect(l_speedwords, &QListWidget::itemSelectionChanged, this,
            &Tf_speedword::l_speedwordsClick);
    FormShow();
}

void Tf_speedword::FormShow() {
    // Selecting the first word is no pick of the user's: the field stays empty.
    const QSignalBlocker quiet(l_speedwords);
    for (const QString& word : m_main.tools.speedwords)
        insertSorted(*l_speedwords, word);
    btn_delete->setEnabled(false);
    if (l_speedwords->count() > 0) {
        l_speedwords->setCurrentRow(0);
        btn_delete->setEnabled(true);
    }
}

void Tf_speedword::l_speedwordsClick() {
    const QList<QListWidgetItem*> selected = l_speedwords->selectedItems();
    if (!selected.isEmpty())
        e_word->setText(selected.first()->text());
}

void Tf_speedword::btn_addClick() {
    const QString word = e_word->text();
    // Blanks complete nothing and would leave an empty line in the tools file.
    if (word.trimmed().isEmpty())
        return;
    if (!l_speedwords->findItems(word, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        Dialogs::message("Speedword already exists !", "Speedword", QMessageBox::Critical);
        return;
    }
    insertSorted(*l_speedwords, word);
    storeWords();
    btn_delete->setEnabled(true);
    Dialogs::message(word, "Speedword added", QMessageBox::NoIcon);
}

void Tf_speedword::btn_deleteClick() {
    const QList<QListWidgetItem*> selected = l_speedwords->selectedItems();
    if (selected.isEmpty())
        return;
    {
        // The word after the deleted one is not picked by the deletion.
        const QSignalBlocker quiet(l_speedwords);
        delete selected.first();
        l_speedwords->clearSelection();
    }
    storeWords();
    if (l_speedwords->count() == 0)
        btn_delete->setEnabled(false);
    Dialogs::message(e_word->text(), "Speedword deleted", QMessageBox::NoIcon);
}

void Tf_speedword::storeWords() {
    QStringList words;
    for (int row = 0; row < l_speedwords->count(); ++row)
        words << l_speedwords->item(row)->text();
    m_main.tools.speedwords = words;
    m_main.write_tools();
}

} // namespace ostrim
