#pragma once
// The login dialog: server, login name and password.

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ostrim {

class TPasswordDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPasswordDlg(QWidget* parent = nullptr);

    QLabel* Label3() const { return m_label3; }
    QComboBox* server() const { return m_server; }
    QLabel* Label2() const { return m_label2; }
    QLineEdit* username() const { return m_username; }
    QLabel* Label1() const { return m_label1; }
    QLineEdit* Password() const { return m_password; }
    QFrame* Bevel1() const { return m_bevel1; }
    QPushButton* OKBtn() const { return m_okBtn; }
    QPushButton* CancelBtn() const { return m_cancelBtn; }

    // Without the server row only the login and password rows remain; the dialog shrinks.
    void setServerShown(bool shown);

    // With login name and server filled in, the password is what the user still has to type.
    void FormActivate();
    void serverChange(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_label3;
    QComboBox* m_server;
    QLabel* m_label2;
    QLineEdit* m_username;
    QLabel* m_label1;
    QLineEdit* m_password;
    QFrame* m_bevel1;
    QPushButton* m_okBtn;
    QPushButton* m_cancelBtn;
};

} // namespace ostrim
