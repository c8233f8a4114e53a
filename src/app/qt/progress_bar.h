// ProgressBar: range 0 to 100, drawn by the program. Each picture is composed off screen
// (the computed background and fill, then the percentage text) and copied in one step.
#pragma once

#include <QImage>
#include <QWidget>

namespace telvora::app {

class RoundProgressBar : public QWidget {
    Q_OBJECT
  public:
    explicit RoundProgressBar(QWidget* parent = nullptr);

    int Minimum() const { return 0; }
    int Maximum() const { return 100; }
    int Position() const { return position_; }
    // Clamped to the range; a change repaints the bar before the call returns.
    void SetPosition(int position);

    int Percent() const;
    // The picture as it is copied onto the window: transparent outside the rounded corners,
    // at the screen's device pixel ratio.
    QImage Compose() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int position_ = 0;
};

}  // namespace telvora::app
