#include "app/qt/progress_bar.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "app/pictures.h"
#include "app/qt/fonts.h"
#include "app/qt/gradient_panel.h"

namespace telvora::app {

RoundProgressBar::RoundProgressBar(QWidget* parent) : QWidget(parent) {
    setFont(DesignFont(design::kProgressBarFont));
    setFocusPolicy(Qt::NoFocus);
}

void RoundProgressBar::SetPosition(int position) {
    position = std::clamp(position, Minimum(), Maximum());
    if (position == position_) {
        return;
    }
    position_ = position;
    // The run holds the thread: paint now, not when the queue is next served.
    repaint();
}

int RoundProgressBar::Percent() const {
    return ProgressPercent(position_, Minimum(), Maximum());
}

QImage RoundProgressBar::Compose() const {
    const int p = Percent();
    QImage image = ToQImage(ProgressBarPicture(width(), height(), p), true);
    // The picture is fixed pixel for pixel at 1x: on a denser screen each of its pixels
    // covers ratio x ratio device pixels, and the text is drawn at the screen's density.
    const qreal ratio = devicePixelRatioF();
    if (ratio != 1.0) {
        image = image.scaled(qRound(width() * ratio), qRound(height() * ratio),
                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
        image.setDevicePixelRatio(ratio);
    }
    QPainter painter(&image);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QString text = QString::fromStdString(ProgressText(p));
    const QFontMetrics metrics(font());
    const TextOrigin origin =
        ProgressTextOrigin(width(), height(), metrics.horizontalAdvance(text), metrics.height());
    painter.drawText(origin.left, origin.top + metrics.ascent(), text);
    return image;
}

void RoundProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Compose());
}

}  // namespace telvora::app
