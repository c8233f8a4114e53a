// CheckListBox1: a list with a check box on each item. A click on an item's check box, or
// Space on the selected item, toggles its mark; a click on the item's text only selects it.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace telvora::app {

class CheckListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit CheckListBox(QWidget* parent = nullptr);

    // Appends an unchecked item.
    void AddItem(const std::string& text);
    int Count() const { return count(); }
    std::string ItemText(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    // The names of the checked items, in list order.
    std::vector<std::string> CheckedItems() const;

  protected:
    // A press on an item's check box selects the item as well, as on its text.
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace telvora::app
