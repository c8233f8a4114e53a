// StatusBar: docked to the bottom edge, without size grip, with panels of fixed width whose
// text is drawn centred. This window has one panel, 50 pixels wide.
#pragma once

#include <QStatusBar>
#include <QString>
#include <vector>

namespace telvora::app {

class PanelStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit PanelStatusBar(QWidget* parent = nullptr);

    void AddPanel(int width);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    int PanelWidth(int index) const { return panels_.at(static_cast<size_t>(index)).width; }
    QString PanelText(int index) const { return panels_.at(static_cast<size_t>(index)).text; }
    void SetPanelText(int index, const QString& text);
    // Where panel `index` lies, in the bar's coordinates.
    QRect PanelRect(int index) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Panel {
        int width = 0;
        QString text;
    };
    std::vector<Panel> panels_;
};

}  // namespace telvora::app
