#include "app/qt/check_list_box.h"

#include <QMouseEvent>

namespace telvora::app {

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setTabKeyNavigation(false);
}

void CheckListBox::AddItem(const std::string& text) {
    auto* item = new QListWidgetItem(QString::fromStdString(text), this);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
}

std::string CheckListBox::ItemText(int index) const {
    return item(index)->text().toStdString();
}

bool CheckListBox::Checked(int index) const {
    return item(index)->checkState() == Qt::Checked;
}

void CheckListBox::SetChecked(int index, bool checked) {
    item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CheckListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid() && index != currentIndex()) {
            setCurrentIndex(index);
        }
    }
    QListWidget::mousePressEvent(event);
}

std::vector<std::string> CheckListBox::CheckedItems() const {
    std::vector<std::string> names;
    for (int i = 0; i < count(); ++i) {
        if (Checked(i)) {
            names.push_back(ItemText(i));
        }
    }
    return names;
}

}  // namespace telvora::app
