#pragma once
// Tf_server_properties: what a connection learnt about its server when it logged in, read-only.

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ostrim {

class TSybDatabase;

class Tf_server_properties : public QDialog {
    Q_OBJECT
public:
    explicit Tf_server_properties(QWidget* parent = nullptr);

    // The caption and the shown texts from connection, as it connected.
    void fill(const TSybDatabase& connection);

    QLineEdit* e_server_name = nullptr;
    QLineEdit* e_character_set = nullptr;
    QLineEdit* e_language = nullptr;
    QPlainTextEdit* m_version = nullptr;
    QPlainTextEdit* m_libversion = nullptr;
    QPushButton* BitBtn1 = nullptr;
    // Never shown.
    QLineEdit* e_version = nullptr;
    QLineEdit* e_release_type = nullptr;
    QLineEdit* e_platform = nullptr;
    QLineEdit* e_operating_system = nullptr;
    QLineEdit* e_build_option = nullptr;
    QLineEdit* e_build_date = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace ostrim
