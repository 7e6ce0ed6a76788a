#pragma once
// The status bar's areas after the six extent panels: the position under the
// pointer, a notice, and what "GO !" would write. They share the room the panels
// leave; where it is too little for all, the position comes first (while the
// pointer is over the map), then the notice, then the size, and a text that does
// not fit is cut with "..." (its tool tip is then the whole text). The six panels
// keep their widths in a narrow window.

#include <QLabel>
#include <QWidget>

namespace quadrel {

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(QWidget* Parent = nullptr);
    // The text shown (text() keeps it whole) and whether it is a warning (red).
    void SetText(const QString& Text, bool Warning = false);
    bool Warning() const { return FWarning; }
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void UpdateToolTip();
    bool FWarning = false;
};

// The three areas in one strip: position on the left, notice after it, size at the
// right end.
class TReadoutBar : public QWidget {
    Q_OBJECT
public:
    explicit TReadoutBar(QWidget* Parent = nullptr);
    TElidedLabel* Cursor = nullptr;
    TElidedLabel* Notice = nullptr;
    TElidedLabel* Size = nullptr;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Shares the width out again; after a text changed.
    void Arrange();

protected:
    void resizeEvent(QResizeEvent* e) override;
};

// Shows the tool tips of a menu bar's own commands ("GO !"), which Qt's menu bar
// leaves out; installed on the menu bar, whose child it becomes.
class TMenuBarToolTips : public QObject {
    Q_OBJECT
public:
    explicit TMenuBarToolTips(QWidget* MenuBar);

protected:
    bool eventFilter(QObject* Watched, QEvent* e) override;
};

} // namespace quadrel
