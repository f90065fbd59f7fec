#pragma once
// The child window that "Connect" and "New" open until the full server window exists: it owns
// a connection, logs in as a server window does and shows where it is connected.

#include <QWidget>

class QLabel;

namespace ostrim {

class Tmain;
class TSybDatabase;

class ConnectionWindow : public QWidget {
    Q_OBJECT
public:
    // Creates the window in the frame and connects; returns null when the login failed or was
    // cancelled (the window is gone then, having written the configuration as it closed).
    static ConnectionWindow* open(Tmain& main);
    ~ConnectionWindow() override;

    TSybDatabase* sybase() const { return m_sybase; }

private:
    explicit ConnectionWindow(Tmain& main);
    void FormCreate();
    void write_ini();

    Tmain& m_main;
    TSybDatabase* m_sybase = nullptr;
    QLabel* m_info = nullptr;
};

} // namespace ostrim
