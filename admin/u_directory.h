#pragma once
// Tf_directory: the directory picker of the DDL generator's "Seperate files". The drive combo
// box offers "/" and the mount points of real devices; the directory list shows the directories
// below the chosen one.

#include <QDialog>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace ostrim {

class Tf_directory : public QDialog {
    Q_OBJECT
public:
    explicit Tf_directory(QWidget* owner = nullptr);

    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;

    // The directory "&Ok" chose; empty after "&Cancel".
    QString Directory() const { return m_chosen; }
    // The directory list's current directory.
    QString currentDirectory() const { return m_current; }
    // Shows path's drive and makes path the current directory.
    void setCurrentDirectory(const QString& path);

    void btn_okClick();
    void btn_cancelClick();
    void DriveComboBox1Change();

private:
    void DirectoryListBox1Change(const QModelIndex& index);

    QFileSystemModel* m_model = nullptr;
    QString m_current;
    QString m_chosen;
};

} // namespace ostrim
