#pragma once
// A dialog seam for timed runs: boxes are counted rather than shown.

#include "dialogs.h"

#include <cstdio>

namespace bench {

// The first few boxes are printed when printing is asked for.
class CountingDialogs : public ostrim::DialogService {
public:
    explicit CountingDialogs(bool print = false) : m_print(print) {}
    int messages = 0;
    QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                        QMessageBox::Icon, QMessageBox::StandardButtons,
                                        QMessageBox::StandardButton) override {
        if (++messages <= 5 && m_print)
            std::fprintf(stderr, "box \"%s\": %s\n", caption.toLocal8Bit().constData(),
                         text.toLocal8Bit().constData());
        return QMessageBox::Ok;
    }
    int exec(QDialog&) override { return 0; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&) override { return false; }
    bool choosePrinter(QPrinter&, const QString&) override { return false; }

private:
    bool m_print;
};

} // namespace bench
