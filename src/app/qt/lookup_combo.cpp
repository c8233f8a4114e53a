#include "app/qt/lookup_combo.h"

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

LookupKeyPress ToLookupKey(const QKeyEvent& event) {
    LookupKeyPress key;
    switch (event.key()) {
        case Qt::Key_Up:
            key.key = LookupKey::kUp;
            break;
        case Qt::Key_Down:
            key.key = LookupKey::kDown;
            break;
        case Qt::Key_PageUp:
            key.key = LookupKey::kPageUp;
            break;
        case Qt::Key_PageDown:
            key.key = LookupKey::kPageDown;
            break;
        case Qt::Key_Home:
            key.key = LookupKey::kHome;
            break;
        case Qt::Key_End:
            key.key = LookupKey::kEnd;
            break;
        case Qt::Key_Escape:
            key.key = LookupKey::kEscape;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key.key = LookupKey::kEnter;
            break;
        case Qt::Key_Backspace:
            key.key = LookupKey::kBackspace;
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            key.key = LookupKey::kTab;
            break;
        default:
            break;
    }
    key.alt = event.modifiers() & Qt::AltModifier;
    key.control = event.modifiers() & Qt::ControlModifier;
    // What Qt counts as printable: its text then types a character.
    const QString text = event.text();
    if (!text.isEmpty() && text.at(0).isPrint()) {
        key.text = text.toStdString();
    }
    return key;
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
        combo_->model_.PressOutsideList();
        return;
    }
    QFrame::mousePressEvent(event);
}

void LookupPopup::mouseReleaseEvent(QMouseEvent* event) {
    // The release of the press that opened the list, away from its rows: the list stays.
    combo_->model_.Release();
    QFrame::mouseReleaseEvent(event);
}

void LookupPopup::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    setAttribute(Qt::WA_NoMouseReplay, false);
    combo_->model_.ListHidden();
}

// ---- the box ----

DbLookupCombo::DbLookupCombo(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    popup_ = new LookupPopup(this);
    popup_->List()->installEventFilter(this);
    popup_->List()->viewport()->installEventFilter(this);
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
    model_.SetList(list);
    ListActiveChanged();
}

void DbLookupCombo::ListActiveChanged() {
    model_.ListChanged();
    QListWidget* view = popup_->List();
    view->clear();
    for (int row = 0; row < model_.RowCount(); ++row) {
        auto* item = new QListWidgetItem(QString::fromStdString(model_.RowText(row)), view);
        item->setSizeHint(QSize(0, RowHeight()));
    }
    update();
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

void DbLookupCombo::ShowList() {
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
    const QPoint box = mapToGlobal(QPoint(0, 0));
    const LookupPoint at = LookupListPosition({box.x(), box.y(), width(), height()},
                                              {0, 0, size.width(), size.height()},
                                              {area.x(), area.y(), area.width(), area.height()});
    popup_->setGeometry(QRect(QPoint(at.x, at.y), size));
    popup_->show();
    view->setFocus(Qt::PopupFocusReason);
}

void DbLookupCombo::HideList() {
    popup_->hide();
}

void DbLookupCombo::HighlightChanged(int row) {
    QListWidget* view = popup_->List();
    if (row < 0 || row >= view->count()) {
        view->setCurrentRow(-1);
        return;
    }
    view->setCurrentRow(row);
    view->scrollToItem(view->item(row));
}

void DbLookupCombo::Repaint() {
    update();
}

void DbLookupCombo::Changed() {
    emit Change();
}

void DbLookupCombo::keyPressEvent(QKeyEvent* event) {
    if (!model_.KeyPress(ToLookupKey(*event))) {
        event->ignore();
    }
}

void DbLookupCombo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    model_.PressOnBox(ButtonRect().contains(event->position().toPoint()));
}

void DbLookupCombo::mouseReleaseEvent(QMouseEvent* event) {
    model_.Release();
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
        model_.KeyPress(ToLookupKey(*static_cast<QKeyEvent*>(event)));
        return true;
    }
    if (watched == view->viewport()) {
        const auto rowAt = [view](QEvent* e) {
            const QModelIndex index =
                view->indexAt(static_cast<QMouseEvent*>(e)->position().toPoint());
            return index.isValid() ? index.row() : -1;
        };
        switch (event->type()) {
            case QEvent::MouseMove:
                if (const int row = rowAt(event); row >= 0) {
                    model_.MoveOverRow(row);
                }
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (const int row = rowAt(event); row >= 0) {
                    model_.PressOnRow(row);
                }
                return true;
            case QEvent::MouseButtonRelease: {
                const int row = rowAt(event);
                if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && row >= 0) {
                    model_.ReleaseOnRow(row);
                } else {
                    model_.Release();
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
                     QFontMetrics(font()).elidedText(Value(), Qt::ElideNone, inner.width()));
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
    button.state |= ButtonPressed() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, &painter, this);
    QStyleOption arrow = button;
    const int side = std::min(button.rect.width(), button.rect.height()) / 2;
    arrow.rect = QRect(0, 0, side, side);
    arrow.rect.moveCenter(button.rect.center() + (ButtonPressed() ? QPoint(1, 1) : QPoint()));
    if (!CanDropDown()) {
        arrow.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
}

}  // namespace telvora::app
