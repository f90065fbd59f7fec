#pragma once
// What the form expert's pages share: the picture at the left, the page's own controls at the
// right and the row of "&Help", "< &Back", "&Next >" (or "&Finish") and "&Cancel" under them, and
// the way a page ends. Each page is shown modally by the one before it, so cancel and finish
// travel back through every open page, while back leaves the page below open.

#include <QDialog>
#include <QString>

#include <functional>

class QPaintEvent;
class QPushButton;
class QVBoxLayout;

namespace ostrim {

// A page's result. Help keeps the page open; the rest end it (next only on a page whose
// following page is running).
enum ExpertResult : int { Help = 0, Back = 1, Next = 2, Cancel = 3, Finish = 4 };

// The drawing at a page's left, in the palette's colours: a motif for the page, or the preview of
// a layout on the layout page.
class ExpertPicture : public QWidget {
public:
    enum class Motif { Tables, Columns, Keys, Grid, Vertical, Horizontal, Where };

    explicit ExpertPicture(Motif motif, QWidget* parent = nullptr);

    Motif motif() const { return m_motif; }
    void setMotif(Motif motif);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Motif m_motif;
};

class ExpertPage : public QDialog {
    Q_OBJECT
public:
    // The last page offers "&Finish" where the others offer "&Next >".
    ExpertPage(const QString& caption, ExpertPicture::Motif motif, bool last, QWidget* owner);

    ExpertPicture* picture = nullptr;
    QPushButton* btn_help = nullptr;
    QPushButton* btn_back = nullptr;
    QPushButton* btn_next = nullptr;
    QPushButton* btn_cancel = nullptr;

    // Hands this page's choice to the following page and shows it modally; returns the result
    // that page ended with. Set by whoever strings the pages together.
    std::function<int()> showNext;

    void btn_helpClick() { setResult(Help); }
    void btn_backClick() { done(Back); }
    void btn_cancelClick() { done(Cancel); }
    // The window's close box and Escape cancel the expert, as "&Cancel" does.
    void reject() override { done(Cancel); }

protected:
    // Where a page puts its controls.
    QVBoxLayout* content() const { return m_content; }
    // Shows the following page; this page ends when that one was cancelled or finished, and stays
    // open when it came back.
    void proceed();

private:
    QVBoxLayout* m_content = nullptr;
};

// The pages' plain message box: the text, the program's name and an OK button.
void showExpertMessage(const QString& text);

} // namespace ostrim
