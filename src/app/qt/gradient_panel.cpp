#include "app/qt/gradient_panel.h"

#include <QPainter>

namespace telvora::app {

QImage ToQImage(const RgbImage& image, bool keyTransparent) {
    QImage out(image.width, image.height,
               keyTransparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const Rgb c = image.at(x, y);
            line[x] =
                keyTransparent && c == kTransparentKey ? qRgba(0, 0, 0, 0) : (0xFF000000u | c);
        }
    }
    return out;
}

GradientPanel::GradientPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

RgbImage GradientPanel::Picture() const {
    return VerticalGradient(width(), height(), kGrey, kSilver);
}

void GradientPanel::resizeEvent(QResizeEvent*) {
    image_ = QImage();
}

void GradientPanel::paintEvent(QPaintEvent*) {
    if (image_.size() != size()) {
        image_ = ToQImage(Picture(), false);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

}  // namespace telvora::app
