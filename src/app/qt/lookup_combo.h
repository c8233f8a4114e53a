// RxDBLookupCombo2 in Qt: draws the box and its list and hands every key and mouse event to
// the drop-down's model (app/lookup_combo_model.h), which holds its behaviour.
#pragma once

#include <QFrame>
#include <QListWidget>
#include <QString>
#include <QWidget>

#include "app/lookup_combo_model.h"

namespace telvora::app {

class LookupList;
class DbLookupCombo;

// The list that drops down, a pop-up window of its own.
class LookupPopup : public QFrame {
    Q_OBJECT
  public:
    LookupPopup(DbLookupCombo* combo);
    QListWidget* List() const { return list_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    DbLookupCombo* combo_;
    QListWidget* list_;
};

class DbLookupCombo : public QWidget, private LookupComboView {
    Q_OBJECT
  public:
    static constexpr int kDropDownRows = LookupComboModel::kDropDownRows;
    static constexpr int kMaxSearchLength = LookupComboModel::kMaxSearchLength;

    explicit DbLookupCombo(QWidget* parent = nullptr);
    ~DbLookupCombo() override;

    // The list is not owned; nullptr unlinks it.
    void SetLookupList(LookupList* list);
    // To be called when the list has been opened or closed (re-reads its rows).
    void ListActiveChanged();

    QString Value() const { return QString::fromStdString(model_.Value()); }
    bool ListOpen() const { return model_.ListOpen(); }
    bool CanDropDown() const { return model_.CanDropDown(); }
    // The pop-up and its list view (tests and tools find the rows through them).
    LookupPopup* Popup() const { return popup_; }
    int RowHeight() const;
    QRect ButtonRect() const;
    QRect TextRect() const;
    bool ButtonPressed() const { return model_.ButtonPressed(); }
    QString SearchText() const { return QString::fromStdString(model_.SearchText()); }

    void DropDown() { model_.DropDown(); }
    // Closes the list; with accept, the highlighted row becomes the value.
    void CloseUp(bool accept) { model_.CloseUp(accept); }

  signals:
    // The change notification.
    void Change();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class LookupPopup;

    // LookupComboView
    void ShowList() override;
    void HideList() override;
    void HighlightChanged(int row) override;
    void Repaint() override;
    void Changed() override;

    LookupComboModel model_{*this};
    LookupPopup* popup_ = nullptr;
};

// A Qt key event in the model's terms.
LookupKeyPress ToLookupKey(const QKeyEvent& event);

}  // namespace telvora::app
