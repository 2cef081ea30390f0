#pragma once
// Small reusable widgets of the program's windows.
#include <QLabel>
#include <QPixmap>

namespace rv {

// A caption label that acts as a second click target for the image button beside it.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& text = {}, QWidget* parent = nullptr);
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// An image button: a picture that runs its handler when clicked, or when Space or Enter is
// pressed on it. Tab reaches it (one stop for the button and its caption) and a frame shows
// that it has the focus; a click does not take the focus from the box being typed in.
class ImageButton : public QLabel {
    Q_OBJECT
public:
    explicit ImageButton(const QPixmap& picture = {}, QWidget* parent = nullptr);
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

// The pictures the windows draw for themselves (no image files are shipped).
namespace pictures {
enum class Kind {
    Add, Delete, Previous, Next, First, Last, Datasheet, Import, Filter, FilterOff, Backup, Restore,
    Report, Help, Internet, About, Alive, Dead, MarkOn, MarkOff, Spreadsheet
};
QPixmap make(Kind kind, int size = 32);
}

} // namespace rv
