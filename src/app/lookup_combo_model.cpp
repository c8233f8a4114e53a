#include "app/lookup_combo_model.h"

#include <algorithm>

#include "app/case_fold.h"
#include "app/lookup_list.h"
#include "platform/unicode.h"

namespace telvora::app {

bool TypesPrintable(const LookupKeyPress& key) {
    if (key.text.empty() || key.alt || key.control) {
        return false;
    }
    std::size_t pos = 0;
    const char32_t first = platform::NextUtf8OrReplacement(key.text, pos);
    return first >= 0x20 && !(first >= 0x7F && first <= 0x9F);
}

LookupPoint LookupListPosition(const LookupRect& box, const LookupRect& list,
                               const LookupRect& screen) {
    int x = box.x;
    int y = box.y + box.height;
    if (y + list.height > screen.y + screen.height) {
        y = box.y - list.height;
    }
    if (x + list.width > screen.x + screen.width) {
        x = screen.x + screen.width - list.width;
    }
    return {x, y};
}

void LookupComboModel::SetList(LookupList* list) {
    list_ = list;
    ListChanged();
}

void LookupComboModel::ListChanged() {
    if (open_) {
        open_ = false;
        view_.HideList();
        ListHidden();
    }
    highlighted_ = -1;
    view_.Repaint();
}

bool LookupComboModel::CanDropDown() const {
    return list_ != nullptr && list_->Active();
}

int LookupComboModel::RowCount() const {
    return CanDropDown() ? static_cast<int>(list_->RowCount()) : 0;
}

std::string LookupComboModel::RowText(int row) const {
    return list_->RowText(static_cast<std::size_t>(row));
}

int LookupComboModel::RowOfValue() const {
    if (value_.empty() || list_ == nullptr) {
        return -1;
    }
    const int count = RowCount();
    // The current row first: of equal texts, the one the user came from.
    const std::size_t current = list_->CurrentRow();
    if (current < static_cast<std::size_t>(count) && list_->RowText(current) == value_) {
        return static_cast<int>(current);
    }
    for (int row = 0; row < count; ++row) {
        if (RowText(row) == value_) {
            return row;
        }
    }
    return -1;
}

void LookupComboModel::DropDown() {
    if (!CanDropDown() || open_) {
        return;
    }
    const int count = RowCount();
    int row = RowOfValue();
    if (row < 0 && count > 0) {
        row = static_cast<int>(std::min(list_->CurrentRow(), static_cast<std::size_t>(count - 1)));
    }
    search_.clear();
    open_ = true;
    highlighted_ = -1;
    view_.ShowList();
    if (row >= 0) {
        Highlight(row);
    } else {
        view_.HighlightChanged(-1);
    }
    view_.Repaint();
}

void LookupComboModel::CloseUp(bool accept) {
    if (!open_) {
        return;
    }
    const int row = highlighted_;
    open_ = false;
    view_.HideList();
    ListHidden();
    if (accept && row >= 0) {
        ChooseRow(row, false);
    }
}

void LookupComboModel::ListHidden() {
    open_ = false;
    search_.clear();
    EndPress();
    view_.Repaint();
}

void LookupComboModel::EndPress() {
    if (buttonPressed_) {
        buttonPressed_ = false;
        view_.Repaint();
    }
}

void LookupComboModel::Highlight(int row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    highlighted_ = row;
    // Browsing the open list moves the list's current row along.
    list_->SetCurrentRow(static_cast<std::size_t>(row));
    view_.HighlightChanged(row);
}

void LookupComboModel::ChooseRow(int row, bool alwaysNotify) {
    std::string text = RowText(row);
    // The row the value came from is the current row when the notification runs, also when
    // another row carries the same text.
    list_->SetCurrentRow(static_cast<std::size_t>(row));
    const bool changed = text != value_;
    value_ = std::move(text);
    view_.Repaint();
    if (changed || alwaysNotify) {
        view_.Changed();
    }
}

void LookupComboModel::Step(int delta) {
    const int count = RowCount();
    if (count == 0) {
        // Nothing to step to; the notification runs all the same.
        view_.Changed();
        return;
    }
    const int from = RowOfValue();
    const int row = from < 0 ? 0 : std::clamp(from + delta, 0, count - 1);
    ChooseRow(row, true);
}

void LookupComboModel::Search(std::string_view text) {
    if (CharacterCount(search_) + CharacterCount(text) > kMaxSearchLength) {
        return;
    }
    const std::string wanted = search_ + std::string(text);
    const int count = RowCount();
    for (int row = 0; row < count; ++row) {
        if (StartsWithIgnoringCase(RowText(row), wanted)) {
            search_ = wanted;
            Highlight(row);
            return;
        }
    }
    // No row would match: the character is dropped.
}

bool LookupComboModel::ListKeyPress(const LookupKeyPress& key) {
    const int count = RowCount();
    const int current = highlighted_;
    const int page = kDropDownRows - 1;
    // Moving the highlight drops the typed search; with no row highlighted yet, the first.
    const auto moveBy = [&](int delta) {
        search_.clear();
        if (count > 0) {
            Highlight(current < 0 ? 0 : std::clamp(current + delta, 0, count - 1));
        }
    };
    switch (key.key) {
        case LookupKey::kEscape:
            CloseUp(false);
            return true;
        case LookupKey::kEnter:
            CloseUp(true);
            return true;
        case LookupKey::kUp:
        case LookupKey::kDown:
            if (key.alt) {
                CloseUp(true);
            } else {
                moveBy(key.key == LookupKey::kUp ? -1 : 1);
            }
            return true;
        case LookupKey::kPageUp:
        case LookupKey::kPageDown:
            moveBy(key.key == LookupKey::kPageUp ? -page : page);
            return true;
        case LookupKey::kHome:
        case LookupKey::kEnd:
            search_.clear();
            if (count > 0) {
                Highlight(key.key == LookupKey::kHome ? 0 : count - 1);
            }
            return true;
        case LookupKey::kBackspace:
            if (!search_.empty()) {
                const std::string rest = WithoutLastCharacter(search_);
                search_.clear();
                if (!rest.empty()) {
                    Search(rest);
                }
            }
            return true;
        case LookupKey::kTab:
            // The focus stays in the open list.
            return true;
        case LookupKey::kOther:
            break;
    }
    if (TypesPrintable(key)) {
        Search(key.text);
    }
    return true;
}

bool LookupComboModel::KeyPress(const LookupKeyPress& key) {
    if (open_) {
        return ListKeyPress(key);
    }
    if (!CanDropDown()) {
        return false;
    }
    switch (key.key) {
        case LookupKey::kUp:
        case LookupKey::kDown:
            if (key.alt) {
                DropDown();
            } else {
                Step(key.key == LookupKey::kUp ? -1 : 1);
            }
            return true;
        case LookupKey::kEscape:
            if (value_.empty()) {
                return false;
            }
            // The current row stays where it is.
            value_.clear();
            view_.Repaint();
            view_.Changed();
            return true;
        default:
            break;
    }
    if (TypesPrintable(key)) {
        DropDown();
        Search(key.text);
        return true;
    }
    return false;
}

void LookupComboModel::PressOnBox(bool onButton) {
    if (open_) {
        CloseUp(false);
        return;
    }
    if (onButton && CanDropDown()) {
        buttonPressed_ = true;
        view_.Repaint();
    }
    DropDown();
}

void LookupComboModel::PressOutsideList() {
    CloseUp(false);
}

void LookupComboModel::MoveOverRow(int row) {
    if (open_ && row != highlighted_) {
        Highlight(row);
    }
}

void LookupComboModel::PressOnRow(int row) {
    if (open_) {
        Highlight(row);
    }
}

void LookupComboModel::ReleaseOnRow(int row) {
    EndPress();
    if (open_ && row >= 0 && row < RowCount()) {
        Highlight(row);
        CloseUp(true);
    }
}

void LookupComboModel::Release() {
    EndPress();
}

}  // namespace telvora::app
