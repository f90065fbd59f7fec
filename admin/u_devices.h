#pragma once
// Tf_devices: the server's database devices and the details of the selected one. Both of its
// database components find their connection by the name "sybase": the first server window's.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTabWidget;

namespace ostrim {

class TSybListBox;
class TSybQuery;

// The detail statements. The device name goes between double quotes, each double quote within
// it doubled, so that no name can end the string early.
QString quotedDeviceName(const QString& name);
QString pagesPerMegabyteSql();
QString deviceRowSql(const QString& name);
QString deviceNumberSql(const QString& name);
// The decimal digits text starts with, as a number; 0 when it starts with none.
qint64 leadingNumber(const QString& text);
// The megabytes of the pages low..high, to the nearest with halves to even; empty when
// pagesPerMegabyte is 0 rather than a division by zero.
QString deviceSizeText(qint64 low, qint64 high, qint64 pagesPerMegabyte);

class Tf_devices : public QDialog {
    Q_OBJECT
public:
    explicit Tf_devices(QWidget* owner);

    QLabel* Label7 = nullptr;
    TSybListBox* l_devices = nullptr;
    QTabWidget* p_devices = nullptr;
    QWidget* t_properties = nullptr;
    QWidget* t_databases = nullptr;
    QWidget* t_segments = nullptr;
    QLineEdit* e_logical_name = nullptr;
    QLineEdit* e_physical_name = nullptr;
    QLineEdit* e_virtual_device_number = nullptr;
    QLineEdit* e_mirror_name = nullptr;
    QLineEdit* e_size = nullptr;
    TSybQuery* q_devices = nullptr;
    QPushButton* IXButton1 = nullptr;

    // Lists the devices and shows the first one's details.
    void FormActivate();
    void l_devicesClick();
    void IXButton1Click() { reject(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    // False while a background load reads from the connection: nothing else may send on it.
    bool connectionFree() const;
    void showDetails(const QString& name);
};

} // namespace ostrim
