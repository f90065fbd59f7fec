#include "u_directory.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace ostrim {

namespace {

// "/" first, then the mount points of block devices: the places a user keeps files. Virtual
// file systems (proc, sysfs, cgroups...) would only clutter the list.
QStringList driveRoots() {
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.device().startsWith("/dev/") && !roots.contains(root))
            roots << root;
    }
    std::sort(roots.begin() + 1, roots.end());
    return roots;
}

// The longest root that path lies in.
QString driveOf(const QStringList& roots, const QString& path) {
    QString best = QStringLiteral("/");
    for (const QString& root : roots)
        if ((path == root || path.startsWith(root + '/')) && root.size() > best.size())
            best = root;
    return best;
}

} // namespace

Tf_directory::Tf_directory(QWidget* owner) : QDialog(owner) {
    setObjectName("f_directory");
    setWindowTitle("Select Directory");

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName("DriveComboBox1");
    DriveComboBox1->addItems(driveRoots());

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QStringLiteral("/"));

    DirectoryListBox1 = new QTreeView(this);
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);
    DirectoryListBox1->header()->hide();
    DirectoryListBox1->setMinimumSize(300, 300);

    btn_ok = new QPushButton("&Ok", this);
    btn_ok->setObjectName("btn_ok");
    btn_ok->setDefault(true);
    btn_cancel = new QPushButton("&Cancel", this);
    btn_cancel->setObjectName("btn_cancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 1);
    layout->addLayout(buttons);

    connect(btn_ok, &QPushButton::clicked, this, &Tf_directory::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tf_directory::btn_cancelClick);
    connect(DriveComboBox1, &QComboBox::activated, this, &Tf_directory::DriveComboBox1Change);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &Tf_directory::DirectoryListBox1Change);
    setCurrentDirectory(QDir::currentPath());
}

void Tf_directory::setCurrentDirectory(const QString& path) {
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QString drive = driveOf(driveRoots(), clean);
    DriveComboBox1->setCurrentIndex(std::max(0, DriveComboBox1->findText(drive)));
    DirectoryListBox1->setRootIndex(m_model->index(drive));
    m_current = clean;
    const QModelIndex index = m_model->index(clean);
    if (index.isValid()) {
        DirectoryListBox1->setCurrentIndex(index);
        DirectoryListBox1->scrollTo(index);
    }
    m_current = clean;
}

void Tf_directory::DriveComboBox1Change() {
    setCurrentDirectory(DriveComboBox1->currentText());
}

void Tf_directory::DirectoryListBox1Change(const QModelIndex& index) {
    if (index.isValid())
        m_current = m_model->filePath(index);
}

void Tf_directory::btn_okClick() {
    m_chosen = m_current;
    accept();
}

void Tf_directory::btn_cancelClick() {
    m_chosen.clear();
    reject();
}

} // namespace ostrim
