#include "status_readouts.h"

#include <QAction>
#include <QHelpEvent>
#include <QMenuBar>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace quadrel {

TElidedLabel::TElidedLabel(QWidget* Parent) : QLabel(Parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void TElidedLabel::SetText(const QString& Text, bool Warning) {
    FWarning = Warning;
    setText(Text);
    update();
    UpdateToolTip();
    if (auto* bar = qobject_cast<TReadoutBar*>(parentWidget()))
        bar->Arrange();
}

QSize TElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void TElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, r.width());
    p.setPen(FWarning ? QColor(0xb0, 0x10, 0x10) : palette().color(foregroundRole()));
    p.drawText(r, static_cast<int>(alignment()), shown);
}

void TElidedLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    UpdateToolTip();
}

void TElidedLabel::UpdateToolTip() {
    const bool cut = fontMetrics().horizontalAdvance(text()) > contentsRect().width();
    setToolTip(cut ? text() : QString());
}

namespace {

// Room between two areas that both show a text.
constexpr int Gap = 12;

int Needed(const TElidedLabel* Label) {
    return Label->text().isEmpty() ? 0 : Label->fontMetrics().horizontalAdvance(Label->text()) + 4;
}

} // namespace

TReadoutBar::TReadoutBar(QWidget* Parent) : QWidget(Parent) {
    Cursor = new TElidedLabel(this);
    Notice = new TElidedLabel(this);
    Size = new TElidedLabel(this);
    Size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QSize TReadoutBar::sizeHint() const {
    return {Needed(Cursor) + Needed(Notice) + Needed(Size) + 2 * Gap, Cursor->sizeHint().height()};
}

QSize TReadoutBar::minimumSizeHint() const {
    return {0, Cursor->minimumSizeHint().height()};
}

void TReadoutBar::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Arrange();
}

void TReadoutBar::Arrange() {
    // Widths by priority: the position, the notice, the size.
    int left = width();
    auto take = [&left](const TElidedLabel* Label) {
        const int w = std::min(Needed(Label), std::max(left, 0));
        left -= w > 0 ? w + Gap : 0;
        return w;
    };
    const int cursor = take(Cursor), notice = take(Notice), size = take(Size);
    const int h = height();
    Cursor->setGeometry(0, 0, cursor, h);
    Notice->setGeometry(cursor > 0 ? cursor + Gap : 0, 0, notice, h);
    Size->setGeometry(width() - size, 0, size, h);
    for (TElidedLabel* l : {Cursor, Notice, Size})
        l->setVisible(l->width() > 0);
}

TMenuBarToolTips::TMenuBarToolTips(QWidget* MenuBar) : QObject(MenuBar) {
    MenuBar->installEventFilter(this);
}

bool TMenuBarToolTips::eventFilter(QObject* Watched, QEvent* e) {
    auto* bar = qobject_cast<QMenuBar*>(Watched);
    if (!bar || e->type() != QEvent::ToolTip)
        return false;
    auto* help = static_cast<QHelpEvent*>(e);
    QAction* a = bar->actionAt(help->pos());
    // A menu's title has no tool tip of its own; Qt's default repeats the caption.
    if (!a || a->menu() || a->toolTip() == a->iconText()) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(help->globalPos(), a->toolTip(), bar, bar->actionGeometry(a));
    return true;
}

} // namespace quadrel
