#pragma once
// Tf_speedword: keeps the frame's speedword list, the words the editor expands, and writes the
// tools file after each change.

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace ostrim {

class Tmain;

class Tf_speedword : public QDialog {
    Q_OBJECT
public:
    explicit Tf_speedword(Tmain& main, QWidget* parent = nullptr);

    QLineEdit* e_word = nullptr;
    QListWidget* l_speedwords = nullptr;
    QPushButton* btn_add = nullptr;
    QPushButton* btn_delete = nullptr;
    QPushButton* btn_close = nullptr;

    void btn_addClick();
    void btn_deleteClick();
    void l_speedwordsClick();

private:
    void FormShow();
    // The frame's list becomes the dialog's, in its sorted order, and goes to the tools file.
    void storeWords();

    Tmain& m_main;
};

} // namespace ostrim
