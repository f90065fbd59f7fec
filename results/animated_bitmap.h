#pragma once
// TAnimatedBitmap: shows one frame of a strip of equal frames and steps through them on a timer;
// the results window's running indicator.

#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace ostrim {

class TAnimatedBitmap : public QWidget {
    Q_OBJECT
public:
    explicit TAnimatedBitmap(QWidget* parent = nullptr);

    const QPixmap& Bitmap() const { return m_bitmap; }
    void setBitmap(const QPixmap& bitmap);
    int Columns() const { return m_columns; }
    void setColumns(int columns);
    int Rows() const { return m_rows; }
    void setRows(int rows);
    int ActivePicture() const { return m_active; }
    void setActivePicture(int picture);
    // Milliseconds between frames; 0 stops the animation, any other value (re)starts it.
    int Interval() const { return m_interval; }
    void setInterval(int ms);
    bool ReversePlay() const { return m_reverse; }
    void setReversePlay(bool reverse) { m_reverse = reverse; }

    int frameCount() const { return m_columns * m_rows; }
    // One tick of the timer.
    void step();

    // The results window's strip: ten frames of a turning ring of dots, each size x size.
    static QPixmap runningStrip(int size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_bitmap;
    int m_columns = 1;
    int m_rows = 1;
    int m_active = 0;
    int m_interval = 0;
    bool m_reverse = false;
    QTimer m_timer;
};

} // namespace ostrim
