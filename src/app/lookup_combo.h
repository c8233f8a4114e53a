// RxDBLookupCombo2: a drop-down box over a lookup list (the awards list). Its value is a text
// of the list's column, which serves as key and as displayed text; it starts empty.
//
//   the user                                  value                        Change()
//   clicks the closed box                     unchanged; the list opens     no
//   clicks the box while open, Escape in the
//     list, clicks elsewhere                  unchanged; the list closes    no
//   clicks a row, or presses on the box,
//     drags onto a row and releases there     that row's text               if it differs
//   Enter in the open list                    the highlighted row's text    if it differs
//   types printable characters                the list opens; up to 32 typed characters
//                                             select the first row beginning with them
//                                             (without regard to case); a character no row
//                                             would match is dropped; Backspace removes one
//   Up / Down in the closed box               previous / next row's text,   always
//                                             the first row's without value
//   Alt+Up / Alt+Down                         opens; when open, as Enter
//   Escape in the closed box with a value     empty                         always
//
// Browsing the open list moves the list's current row along; a chosen value's row is the
// current row when Change() is emitted. While the list is not active nothing of this works.
#pragma once

#include <QFrame>
#include <QListWidget>
#include <QString>
#include <QWidget>

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

class DbLookupCombo : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDropDownRows = 3;
    static constexpr int kMaxSearchLength = 32;

    explicit DbLookupCombo(QWidget* parent = nullptr);
    ~DbLookupCombo() override;

    // The list is not owned; nullptr unlinks it.
    void SetLookupList(LookupList* list);
    // To be called when the list has been opened or closed (re-reads its rows).
    void ListActiveChanged();

    QString Value() const { return value_; }
    bool ListOpen() const;
    bool CanDropDown() const;
    // The pop-up and its list view (tests and tools find the rows through them).
    LookupPopup* Popup() const { return popup_; }
    int RowHeight() const;
    QRect ButtonRect() const;
    QRect TextRect() const;
    bool ButtonPressed() const { return buttonPressed_; }
    QString SearchText() const { return search_; }

    void DropDown();
    // Closes the list; with accept, the highlighted row becomes the value.
    void CloseUp(bool accept);

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

    void HandleListKey(QKeyEvent* event);
    void Search(const QString& text);
    void Highlight(int row);
    void Step(int delta);
    void ChooseRow(int row, bool alwaysNotify);
    void PopupHidden();
    void EndPress();
    int RowOfValue() const;

    LookupList* list_ = nullptr;
    QString value_;
    QString search_;
    bool buttonPressed_ = false;
    LookupPopup* popup_ = nullptr;
};

// Where the list opens: below the box, or above it when there is no room below on the
// screen; moved left when it would leave the screen on the right. All in screen coordinates.
QPoint LookupPopupPosition(const QRect& box, const QSize& popup, const QRect& screen);

}  // namespace telvora::app
