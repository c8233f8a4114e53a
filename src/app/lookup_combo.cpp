#include "app/lookup_combo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOption>
#include <algorithm>

#include "app/lookup_list.h"

namespace telvora::app {

QPoint LookupPopupPosition(const QRect& box, const QSize& popup, const QRect& screen) {
    int x = box.x();
    int y = box.y() + box.height();
    if (y + popup.height() > screen.y() + screen.height()) {
        y = box.y() - popup.height();
    }
    if (x + popup.width() > screen.x() + screen.width()) {
        x = screen.x() + screen.width() - popup.width();
    }
    return {x, y};
}

// ---- the pop-up ----

LookupPopup::LookupPopup(DbLookupCombo* combo)
    : QFrame(combo, Qt::Popup), combo_(combo), list_(new QListWidget(this)) {
    setObjectName("RxDBLookupCombo2List");
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    list_->setObjectName("RxDBLookupCombo2ListView");
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setUniformItemSizes(true);
    list_->setMouseTracking(true);
    list_->setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(list_);
}

void LookupPopup::mousePressEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        // A press on the box closes the list; it must not reach the box and reopen it.
        const QPoint on_box = combo_->mapFromGlobal(event->globalPosition().toPoint());
        if (combo_->rect().contains(on_box)) {
            setAttribute(Qt::WA_NoMouseReplay);
        }
        combo_->CloseUp(false);
        return;
    }
    QFrame::mousePressEvent(event);
}

void LookupPopup::mouseReleaseEvent(QMouseEvent* event) {
    // The release of the press that opened the list, away from its rows: the list stays.
    combo_->EndPress();
    QFrame::mouseReleaseEvent(event);
}

void LookupPopup::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    setAttribute(Qt::WA_NoMouseReplay, false);
    combo_->PopupHidden();
}

// ---- the box ----

DbLookupCombo::DbLookupCombo(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    popup_ = new LookupPopup(this);
    popup_->List()->installEventFilter(this);
    popup_->List()->viewport()->installEventFilter(this);
    connect(popup_->List(), &QListWidget::currentRowChanged, this, [this](int row) {
        // Browsing the open list moves the list's current row along.
        if (row >= 0 && list_ != nullptr && list_->Active() && popup_->isVisible()) {
            list_->SetCurrentRow(static_cast<std::size_t>(row));
        }
    });
}

DbLookupCombo::~DbLookupCombo() {
    // The list and its viewport get events while the pop-up tears them down; the filter,
    // which reaches them through the pop-up, must be gone by then.
    popup_->List()->viewport()->removeEventFilter(this);
    popup_->List()->removeEventFilter(this);
    // The pop-up reports its hiding back to the box: let it go while the box is whole.
    delete popup_;
}

void DbLookupCombo::SetLookupList(LookupList* list) {
    list_ = list;
    ListActiveChanged();
}

void DbLookupCombo::ListActiveChanged() {
    if (ListOpen()) {
        popup_->hide();
    }
    QListWidget* view = popup_->List();
    view->clear();
    if (list_ != nullptr && list_->Active()) {
        for (std::size_t row = 0; row < list_->RowCount(); ++row) {
            auto* item = new QListWidgetItem(QString::fromStdString(list_->RowText(row)), view);
            item->setSizeHint(QSize(0, RowHeight()));
        }
    }
    update();
}

bool DbLookupCombo::ListOpen() const {
    return popup_->isVisible();
}

bool DbLookupCombo::CanDropDown() const {
    return list_ != nullptr && list_->Active();
}

int DbLookupCombo::RowHeight() const {
    return QFontMetrics(font()).height();
}

QRect DbLookupCombo::ButtonRect() const {
    const int frame = 2;
    const int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QRect(this->width() - frame - width, frame, width, height() - 2 * frame);
}

QRect DbLookupCombo::TextRect() const {
    const int frame = 2;
    return QRect(frame, frame, ButtonRect().left() - frame, height() - 2 * frame);
}

int DbLookupCombo::RowOfValue() const {
    if (value_.isEmpty() || list_ == nullptr) {
        return -1;
    }
    const std::string value = value_.toStdString();
    const std::size_t count = list_->RowCount();
    // The current row first: of equal texts, the one the user came from.
    if (list_->CurrentRow() < count && list_->RowText(list_->CurrentRow()) == value) {
        return static_cast<int>(list_->CurrentRow());
    }
    for (std::size_t row = 0; row < count; ++row) {
        if (list_->RowText(row) == value) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

void DbLookupCombo::DropDown() {
    if (!CanDropDown() || ListOpen()) {
        return;
    }
    QListWidget* view = popup_->List();
    const int rows = view->count();
    view->setVerticalScrollBarPolicy(rows >= kDropDownRows ? Qt::ScrollBarAlwaysOn
                                                           : Qt::ScrollBarAlwaysOff);
    view->setFont(font());
    const int frame = popup_->frameWidth();
    const QSize size(width(), kDropDownRows * RowHeight() + 2 * frame);
    view->setGeometry(frame, frame, size.width() - 2 * frame, size.height() - 2 * frame);
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1 << 20, 1 << 20);
    popup_->setGeometry(QRect(
        LookupPopupPosition(QRect(mapToGlobal(QPoint(0, 0)), this->size()), size, area), size));

    int row = RowOfValue();
    if (row < 0 && list_->RowCount() > 0) {
        row = static_cast<int>(std::min(list_->CurrentRow(), list_->RowCount() - 1));
    }
    search_.clear();
    popup_->show();
    view->setFocus(Qt::PopupFocusReason);
    if (row >= 0) {
        Highlight(row);
    } else {
        view->setCurrentRow(-1);
    }
    update();
}

void DbLookupCombo::CloseUp(bool accept) {
    if (!ListOpen()) {
        return;
    }
    const int row = popup_->List()->currentRow();
    popup_->hide();
    if (accept && row >= 0) {
        ChooseRow(row, false);
    }
}

void DbLookupCombo::PopupHidden() {
    search_.clear();
    EndPress();
    update();
}

void DbLookupCombo::EndPress() {
    if (buttonPressed_) {
        buttonPressed_ = false;
        update();
    }
}

void DbLookupCombo::Highlight(int row) {
    QListWidget* view = popup_->List();
    if (row < 0 || row >= view->count()) {
        return;
    }
    view->setCurrentRow(row);
    view->scrollToItem(view->item(row));
    if (list_ != nullptr) {
        list_->SetCurrentRow(static_cast<std::size_t>(row));
    }
}

void DbLookupCombo::ChooseRow(int row, bool alwaysNotify) {
    const std::string text = list_->RowText(static_cast<std::size_t>(row));
    // The row the value came from is the current row when Change() runs, also when another
    // row carries the same text.
    list_->SetCurrentRow(static_cast<std::size_t>(row));
    const QString value = QString::fromStdString(text);
    const bool changed = value != value_;
    value_ = value;
    update();
    if (changed || alwaysNotify) {
        emit Change();
    }
}

void DbLookupCombo::Step(int delta) {
    if (!CanDropDown()) {
        return;
    }
    const int count = static_cast<int>(list_->RowCount());
    if (count == 0) {
        // Nothing to step to; the notification runs all the same.
        emit Change();
        return;
    }
    const int from = RowOfValue();
    const int row = from < 0 ? 0 : std::clamp(from + delta, 0, count - 1);
    ChooseRow(row, true);
}

void DbLookupCombo::Search(const QString& text) {
    if (search_.size() + text.size() > kMaxSearchLength) {
        return;
    }
    const QString wanted = search_ + text;
    QListWidget* view = popup_->List();
    for (int row = 0; row < view->count(); ++row) {
        if (view->item(row)->text().startsWith(wanted, Qt::CaseInsensitive)) {
            search_ = wanted;
            Highlight(row);
            return;
        }
    }
    // No row would match: the character is dropped.
}

void DbLookupCombo::HandleListKey(QKeyEvent* event) {
    QListWidget* view = popup_->List();
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int count = view->count();
    const int current = view->currentRow();
    const int page = kDropDownRows - 1;
    // Moving the highlight drops the typed search; with no row highlighted yet, the first.
    const auto moveBy = [&](int delta) {
        search_.clear();
        if (count > 0) {
            Highlight(current < 0 ? 0 : std::clamp(current + delta, 0, count - 1));
        }
    };
    switch (event->key()) {
        case Qt::Key_Escape:
            CloseUp(false);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CloseUp(true);
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (alt) {
                CloseUp(true);
                return;
            }
            moveBy(event->key() == Qt::Key_Up ? -1 : 1);
            return;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            moveBy(event->key() == Qt::Key_PageUp ? -page : page);
            return;
        case Qt::Key_Home:
        case Qt::Key_End:
            search_.clear();
            if (count > 0) {
                Highlight(event->key() == Qt::Key_Home ? 0 : count - 1);
            }
            return;
        case Qt::Key_Backspace:
            if (!search_.isEmpty()) {
                search_.chop(1);
                const QString rest = search_;
                search_.clear();
                if (!rest.isEmpty()) {
                    Search(rest);
                }
            }
            return;
        default:
            break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        Search(text);
    }
}

void DbLookupCombo::keyPressEvent(QKeyEvent* event) {
    if (ListOpen()) {
        HandleListKey(event);
        return;
    }
    if (!CanDropDown()) {
        event->ignore();
        return;
    }
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (alt) {
                DropDown();
            } else {
                Step(event->key() == Qt::Key_Up ? -1 : 1);
            }
            return;
        case Qt::Key_Escape:
            if (!value_.isEmpty()) {
                // The current row stays where it is.
                value_.clear();
                update();
                emit Change();
                return;
            }
            event->ignore();
            return;
        default:
            break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        DropDown();
        Search(text);
        return;
    }
    event->ignore();
}

void DbLookupCombo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (ListOpen()) {
        CloseUp(false);
        return;
    }
    if (ButtonRect().contains(event->position().toPoint()) && CanDropDown()) {
        buttonPressed_ = true;
        update();
    }
    DropDown();
}

void DbLookupCombo::mouseReleaseEvent(QMouseEvent* event) {
    EndPress();
    QWidget::mouseReleaseEvent(event);
}

void DbLookupCombo::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void DbLookupCombo::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

bool DbLookupCombo::eventFilter(QObject* watched, QEvent* event) {
    QListWidget* view = popup_->List();
    if (watched == view && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            return true;
        }
        HandleListKey(key);
        return true;
    }
    if (watched == view->viewport()) {
        switch (event->type()) {
            case QEvent::MouseMove: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                const QModelIndex index = view->indexAt(mouse->position().toPoint());
                if (index.isValid() && index.row() != view->currentRow()) {
                    Highlight(index.row());
                }
                return true;
            }
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                const QModelIndex index = view->indexAt(mouse->position().toPoint());
                if (index.isValid()) {
                    Highlight(index.row());
                }
                return true;
            }
            case QEvent::MouseButtonRelease: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                EndPress();
                if (mouse->button() == Qt::LeftButton) {
                    const QModelIndex index = view->indexAt(mouse->position().toPoint());
                    if (index.isValid()) {
                        Highlight(index.row());
                        CloseUp(true);
                    }
                }
                return true;
            }
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DbLookupCombo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();

    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = 2;
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken;
    painter.fillRect(rect(), pal.color(QPalette::Base));
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &frame, &painter, this);

    // The text area: the window colour, or the selection colours with a focus rectangle
    // while the box has the focus and its list is closed.
    const QRect text_rect = TextRect();
    const bool selected = hasFocus() && !ListOpen();
    painter.fillRect(text_rect, pal.color(selected ? QPalette::Highlight : QPalette::Base));
    painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.setFont(font());
    const QRect inner = text_rect.adjusted(2, 0, -1, 0);
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font()).elidedText(value_, Qt::ElideNone, inner.width()));
    if (selected) {
        // The focus rectangle: a dotted line on the rim of the text area, one pixel on, one
        // off. Drawn here rather than by the style, since styles draw theirs only after
        // keyboard use (this box takes the focus by a click) or tint the whole area.
        QPen dotted(pal.color(QPalette::HighlightedText), 0);
        dotted.setDashPattern({1, 1});
        painter.setPen(dotted);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(text_rect.adjusted(0, 0, -1, -1));
    }

    // The arrow button: pressed while the mouse is held on it, inactive while the list is
    // not open.
    QStyleOptionButton button;
    button.initFrom(this);
    button.rect = ButtonRect();
    button.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    if (!CanDropDown()) {
        button.state &= ~QStyle::State_Enabled;
    }
    button.state |= buttonPressed_ ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, &painter, this);
    QStyleOption arrow = button;
    const int side = std::min(button.rect.width(), button.rect.height()) / 2;
    arrow.rect = QRect(0, 0, side, side);
    arrow.rect.moveCenter(button.rect.center() + (buttonPressed_ ? QPoint(1, 1) : QPoint()));
    if (!CanDropDown()) {
        arrow.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
}

}  // namespace telvora::app
