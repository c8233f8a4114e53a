#include "app/qt/status_bar.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyleOption>

namespace telvora::app {

PanelStatusBar::PanelStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    setFocusPolicy(Qt::NoFocus);
}

void PanelStatusBar::AddPanel(int width) {
    panels_.push_back({width, QString()});
    update();
}

void PanelStatusBar::SetPanelText(int index, const QString& text) {
    panels_.at(static_cast<size_t>(index)).text = text;
    update();
}

QRect PanelStatusBar::PanelRect(int index) const {
    int left = 0;
    for (int i = 0; i < index; ++i) {
        left += panels_[static_cast<size_t>(i)].width;
    }
    // The panels sit below a two-pixel gap at the top of the bar.
    return QRect(left, 2, panels_.at(static_cast<size_t>(index)).width, height() - 2);
}

void PanelStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    for (int i = 0; i < PanelCount(); ++i) {
        const QRect rect = PanelRect(i);
        qDrawShadePanel(&painter, rect, palette(), true, 1);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect.adjusted(1, 0, -1, 0), Qt::AlignCenter,
                         panels_[static_cast<size_t>(i)].text);
    }
}

}  // namespace telvora::app
