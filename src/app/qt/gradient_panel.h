// RzPanel1: a borderless panel without caption, filled top to bottom with a vertical gradient
// from grey to silver whatever the style.
#pragma once

#include <QImage>
#include <QWidget>

#include "app/pictures.h"

namespace telvora::app {

class GradientPanel : public QWidget {
    Q_OBJECT
  public:
    explicit GradientPanel(QWidget* parent = nullptr);

    // The picture for the panel's current size.
    RgbImage Picture() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QImage image_;
};

// An RgbImage as a Qt image; pixels of the transparent key become fully transparent.
QImage ToQImage(const RgbImage& image, bool keyTransparent);

}  // namespace telvora::app
