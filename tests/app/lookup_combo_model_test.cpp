// The awards drop-down's behaviour, row by row of its table, driven only through the model's
// event entry points: value, open list, highlighted row, type-ahead search, the change
// notification and the awards list's current row when it runs. No toolkit.
#include "app/lookup_combo_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/lookup_list.h"
#include "logdb/locate_databases.h"
#include "logdb/logger_databases.h"
#ifndef _WIN32
#include "sqlite_fixture.h"
#endif
#include "platform/paths.h"
#include "temp_dir.h"

namespace telvora::app {
namespace {

// The rows of an open result kept in memory, with its current row.
class RowList : public LookupList {
  public:
    explicit RowList(std::vector<std::string> rows) : rows_(std::move(rows)) {}
    bool Active() const override { return active; }
    std::size_t RowCount() const override { return rows_.size(); }
    std::string RowText(std::size_t row) const override { return rows_.at(row); }
    std::size_t CurrentRow() const override { return current_; }
    void SetCurrentRow(std::size_t row) override {
        if (row < rows_.size()) {
            current_ = row;
        }
    }

    bool active = true;

  private:
    std::vector<std::string> rows_;
    std::size_t current_ = 0;
};

// What the shell is told, as a shell would draw it.
class RecordingView : public LookupComboView {
  public:
    void ShowList() override {
        ++shown;
        visible = true;
    }
    void HideList() override {
        ++hidden;
        visible = false;
    }
    void HighlightChanged(int row) override { highlight = row; }
    void Repaint() override { ++repaints; }
    void Changed() override {
        ++changes;
        // The change handler reads the current row: the row the value came from.
        rowsAtChange.push_back(list != nullptr ? static_cast<int>(list->CurrentRow()) : -1);
        valuesAtChange.push_back(model != nullptr ? model->Value() : "");
    }

    const LookupList* list = nullptr;
    const LookupComboModel* model = nullptr;
    bool visible = false;
    int shown = 0;
    int hidden = 0;
    int highlight = -1;
    int repaints = 0;
    int changes = 0;
    std::vector<int> rowsAtChange;
    std::vector<std::string> valuesAtChange;
};

const std::vector<std::string> kAwards = {"RDA", "RDA-2020", "RDA Mixed", "RDA CW"};

class LookupComboModelTest;
using Action = std::function<void(LookupComboModelTest&)>;

// One step of a table: what the user does, and the state after it.
struct Step {
    const char* what;
    Action act;
    std::string value;
    bool open;
    int changes;      // change notifications so far
    int currentRow;   // the awards list's current row
    int highlighted;  // the open list's highlighted row (-1 while closed)
};

class LookupComboModelTest : public ::testing::Test {
  public:
    void Start(std::vector<std::string> rows = kAwards) {
        list = std::make_unique<RowList>(std::move(rows));
        view.list = list.get();
        view.model = &model;
        model.SetList(list.get());
    }

    void Run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            step.act(*this);
            EXPECT_EQ(model.Value(), step.value) << step.what;
            EXPECT_EQ(model.ListOpen(), step.open) << step.what;
            EXPECT_EQ(view.visible, step.open) << step.what;
            EXPECT_EQ(view.changes, step.changes) << step.what;
            EXPECT_EQ(static_cast<int>(list->CurrentRow()), step.currentRow) << step.what;
            if (step.open) {
                EXPECT_EQ(model.Highlighted(), step.highlighted) << step.what;
                EXPECT_EQ(view.highlight, step.highlighted) << step.what;
            }
        }
    }

    RecordingView view;
    LookupComboModel model{view};
    std::unique_ptr<RowList> list;
};

LookupKeyPress Press(LookupKey key, bool alt = false) {
    LookupKeyPress press;
    press.key = key;
    press.alt = alt;
    return press;
}

Action Key(LookupKey key) {
    return [key](LookupComboModelTest& t) { t.model.KeyPress(Press(key)); };
}
Action AltKey(LookupKey key) {
    return [key](LookupComboModelTest& t) { t.model.KeyPress(Press(key, true)); };
}
// Each character as its own key press, as a keyboard types them.
Action Type(std::string text) {
    return [text](LookupComboModelTest& t) {
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t length = 1;
            while (pos + length < text.size() && (text[pos + length] & 0xC0) == 0x80) {
                ++length;
            }
            LookupKeyPress press;
            press.text = text.substr(pos, length);
            t.model.KeyPress(press);
            pos += length;
        }
    };
}
const Action kClickBox = [](LookupComboModelTest& t) {
    t.model.PressOnBox(false);
    t.model.Release();
};
const Action kPressElsewhere = [](LookupComboModelTest& t) { t.model.PressOutsideList(); };
Action ClickRow(int row) {
    return [row](LookupComboModelTest& t) {
        t.model.MoveOverRow(row);
        t.model.PressOnRow(row);
        t.model.ReleaseOnRow(row);
    };
}
Action Hover(int row) {
    return [row](LookupComboModelTest& t) { t.model.MoveOverRow(row); };
}

TEST_F(LookupComboModelTest, BlankAtFirstAndNothingOpenUntilAsked) {
    Start();
    EXPECT_EQ(model.Value(), "");
    EXPECT_FALSE(model.ListOpen());
    EXPECT_TRUE(model.CanDropDown());
    EXPECT_EQ(model.RowCount(), 4);
    EXPECT_EQ(model.Highlighted(), -1);
    EXPECT_EQ(view.shown, 0);
    EXPECT_EQ(view.changes, 0);
}

// Row 1: a click on the closed box opens the list; nothing changes.
TEST_F(LookupComboModelTest, AClickOnTheClosedBoxOpensTheList) {
    Start();
    Run({{"click the box", kClickBox, "", true, 0, 0, 0},
         {"choose RDA Mixed", ClickRow(2), "RDA Mixed", false, 1, 2, -1},
         {"click the box: it opens on the value's row", kClickBox, "RDA Mixed", true, 1, 2, 2}});
    EXPECT_EQ(view.shown, 2);
}

TEST_F(LookupComboModelTest, TheListOpensOnTheCurrentRowWhileThereIsNoValue) {
    Start();
    list->SetCurrentRow(3);
    Run({{"click the box", kClickBox, "", true, 0, 3, 3}});
}

TEST_F(LookupComboModelTest, TheArrowButtonIsPressedWhileTheMouseIsHeldOnIt) {
    Start();
    model.PressOnBox(true);
    EXPECT_TRUE(model.ListOpen());
    EXPECT_TRUE(model.ButtonPressed());
    // The release of the opening press, away from the rows: the list stays open.
    model.Release();
    EXPECT_TRUE(model.ListOpen());
    EXPECT_FALSE(model.ButtonPressed());
    model.KeyPress(Press(LookupKey::kEscape));
    // A press on the text part of the box opens the list without pressing the button.
    model.PressOnBox(false);
    EXPECT_TRUE(model.ListOpen());
    EXPECT_FALSE(model.ButtonPressed());
    // Closing ends a press still held.
    model.KeyPress(Press(LookupKey::kEscape));
    model.PressOnBox(true);
    model.PressOutsideList();
    EXPECT_FALSE(model.ButtonPressed());
}

// Row 2: a click on the open box, Escape in the list, a click elsewhere, or the shell closing
// the list close it without a choice.
TEST_F(LookupComboModelTest, TheListClosesWithoutAChoice) {
    Start();
    Run({{"open", kClickBox, "", true, 0, 0, 0},
         {"click the open box", kClickBox, "", false, 0, 0, -1},
         {"open", kClickBox, "", true, 0, 0, 0},
         {"browse down", Key(LookupKey::kDown), "", true, 0, 1, 1},
         {"Escape in the list", Key(LookupKey::kEscape), "", false, 0, 1, -1},
         {"open", kClickBox, "", true, 0, 1, 1},
         {"hover RDA CW", Hover(3), "", true, 0, 3, 3},
         {"press elsewhere", kPressElsewhere, "", false, 0, 3, -1},
         {"open", kClickBox, "", true, 0, 3, 3},
         {"the shell hides the list",
          [](auto& t) {
              t.view.visible = false;
              t.model.ListHidden();
          },
          "", false, 0, 3, -1},
         {"Escape again: nothing to clear", Key(LookupKey::kEscape), "", false, 0, 3, -1}});
    EXPECT_EQ(view.hidden, 3);  // the shell's own hiding is not asked for again
}

// Row 3: a row clicked, or reached by dragging from the box and released on, is chosen.
TEST_F(LookupComboModelTest, AClickedRowIsChosenAndNotifiedOnlyWhenItDiffers) {
    Start();
    Run({{"open", kClickBox, "", true, 0, 0, 0},
         {"click RDA Mixed", ClickRow(2), "RDA Mixed", false, 1, 2, -1},
         {"open", kClickBox, "RDA Mixed", true, 1, 2, 2},
         {"click RDA Mixed again", ClickRow(2), "RDA Mixed", false, 1, 2, -1},
         {"open", kClickBox, "RDA Mixed", true, 1, 2, 2},
         {"click RDA-2020", ClickRow(1), "RDA-2020", false, 2, 1, -1}});
    EXPECT_EQ(view.rowsAtChange, (std::vector<int>{2, 1}));
}

TEST_F(LookupComboModelTest, PressOnTheBoxDragOntoARowAndReleaseThere) {
    Start();
    Run({{"press on the button", [](auto& t) { t.model.PressOnBox(true); }, "", true, 0, 0, 0},
         {"drag over RDA-2020", Hover(1), "", true, 0, 1, 1},
         {"drag over RDA CW", Hover(3), "", true, 0, 3, 3},
         {"drag past the rows (no row there)", Hover(9), "", true, 0, 3, 3},
         {"release on RDA CW", [](auto& t) { t.model.ReleaseOnRow(3); }, "RDA CW", false, 1, 3,
          -1}});
    EXPECT_FALSE(model.ButtonPressed());
    EXPECT_EQ(view.rowsAtChange, std::vector<int>{3});
    EXPECT_EQ(view.valuesAtChange, std::vector<std::string>{"RDA CW"});
}

TEST_F(LookupComboModelTest, AReleaseAwayFromTheRowsChoosesNothing) {
    Start();
    Run({{"press on the box", [](auto& t) { t.model.PressOnBox(false); }, "", true, 0, 0, 0},
         {"drag over RDA Mixed", Hover(2), "", true, 0, 2, 2},
         {"release away from the rows", [](auto& t) { t.model.Release(); }, "", true, 0, 2, 2},
         {"release on a row that is not there", [](auto& t) { t.model.ReleaseOnRow(7); }, "", true,
          0, 2, 2}});
}

// Row 4: Enter in the open list accepts the highlighted row.
TEST_F(LookupComboModelTest, EnterAcceptsTheHighlightedRow) {
    Start();
    Run({{"open", kClickBox, "", true, 0, 0, 0},
         {"Down", Key(LookupKey::kDown), "", true, 0, 1, 1},
         {"Down", Key(LookupKey::kDown), "", true, 0, 2, 2},
         {"Enter", Key(LookupKey::kEnter), "RDA Mixed", false, 1, 2, -1},
         {"open", kClickBox, "RDA Mixed", true, 1, 2, 2},
         {"Enter on the same row", Key(LookupKey::kEnter), "RDA Mixed", false, 1, 2, -1},
         {"open", kClickBox, "RDA Mixed", true, 1, 2, 2},
         {"Up", Key(LookupKey::kUp), "RDA Mixed", true, 1, 1, 1},
         {"Enter", Key(LookupKey::kEnter), "RDA-2020", false, 2, 1, -1}});
}

TEST_F(LookupComboModelTest, MovingThroughTheOpenList) {
    Start({"A1", "A2", "A3", "A4", "A5", "A6"});
    Run({{"open", kClickBox, "", true, 0, 0, 0},
         {"Up on the first row stays", Key(LookupKey::kUp), "", true, 0, 0, 0},
         {"Page Down: a page is the list's height less one row", Key(LookupKey::kPageDown), "",
          true, 0, 2, 2},
         {"Page Down", Key(LookupKey::kPageDown), "", true, 0, 4, 4},
         {"Page Down stops at the last row", Key(LookupKey::kPageDown), "", true, 0, 5, 5},
         {"Down on the last row stays", Key(LookupKey::kDown), "", true, 0, 5, 5},
         {"Page Up", Key(LookupKey::kPageUp), "", true, 0, 3, 3},
         {"Home", Key(LookupKey::kHome), "", true, 0, 0, 0},
         {"End", Key(LookupKey::kEnd), "", true, 0, 5, 5},
         {"Tab keeps the list open", Key(LookupKey::kTab), "", true, 0, 5, 5},
         {"Enter", Key(LookupKey::kEnter), "A6", false, 1, 5, -1}});
}

// Row 5: typing opens the list and selects the first row beginning with the typed text.
TEST_F(LookupComboModelTest, TypingSelectsTheFirstRowBeginningWithTheTypedText) {
    Start();
    struct Typed {
        const char* keys;
        int row;
        const char* search;
    };
    const Typed typed[] = {
        {"r", 0, "r"},    {"d", 0, "rd"},    {"a", 0, "rda"},
        {"-", 1, "rda-"}, {"x", 1, "rda-"},  // no row would match: dropped
        {"\b", 0, "rda"},                    // Backspace removes the last character
        {" ", 2, "rda "}, {"c", 3, "rda c"}, {"W", 3, "rda cW"},
    };
    for (const Typed& t : typed) {
        if (std::string(t.keys) == "\b") {
            model.KeyPress(Press(LookupKey::kBackspace));
        } else {
            Type(t.keys)(*this);
        }
        ASSERT_TRUE(model.ListOpen()) << t.keys;
        EXPECT_EQ(model.Highlighted(), t.row) << t.keys;
        EXPECT_EQ(static_cast<int>(list->CurrentRow()), t.row) << t.keys;
        EXPECT_EQ(model.SearchText(), t.search) << t.keys;
        EXPECT_EQ(view.changes, 0) << t.keys;
    }
    EXPECT_EQ(view.shown, 1);
    model.KeyPress(Press(LookupKey::kEnter));
    EXPECT_EQ(model.Value(), "RDA CW");
    EXPECT_EQ(view.changes, 1);
    EXPECT_EQ(view.rowsAtChange, std::vector<int>{3});
}

TEST_F(LookupComboModelTest, TheSearchIgnoresCaseInEveryScript) {
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        std::string typed;
        int row;
    };
    const Case cases[] = {
        {"Latin", {"WAZ", "RDA"}, "rDa", 1},
        {"Cyrillic", {"RDA", "Районы России", "РДА-2020"}, "рда", 2},
        {"Cyrillic with Ё", {"Ёлки", "ЁЛКА"}, "ёлка", 1},
        {"German sharp s", {"Maß", "STRASSE", "Straße"}, "STRAẞ", 2},
        {"Greek final sigma", {"ΑΒ", "Ας"}, "ασ", 1},
    };
    for (const Case& c : cases) {
        Start(c.rows);
        Type(c.typed)(*this);
        EXPECT_EQ(model.Highlighted(), c.row) << c.what;
        EXPECT_EQ(model.SearchText(), c.typed) << c.what;
        model.KeyPress(Press(LookupKey::kEscape));
    }
}

TEST_F(LookupComboModelTest, AtMost32TypedCharactersCount) {
    const std::string long_name = "RDA " + std::string(40, 'z');
    Start({"RDA", long_name});
    Type(long_name)(*this);
    EXPECT_EQ(model.SearchText(), long_name.substr(0, 32));
    EXPECT_EQ(model.Highlighted(), 1);
    // Characters, not bytes: 32 Cyrillic letters are 64 bytes.
    std::string cyrillic = "Р";
    for (int i = 0; i < 40; ++i) {
        cyrillic += "д";
    }
    Start({"RDA", cyrillic});
    Type(cyrillic)(*this);
    EXPECT_EQ(model.SearchText(), cyrillic.substr(0, 64));
    EXPECT_EQ(model.Highlighted(), 1);
}

TEST_F(LookupComboModelTest, BackspaceRemovesOneCharacterAndAnEmptySearchKeepsTheRow) {
    Start({"Анна", "Антон", "Борис"});
    Run({{"type Б", Type("Б"), "", true, 0, 2, 2},
         {"Backspace: nothing typed any more, the row stays", Key(LookupKey::kBackspace), "", true,
          0, 2, 2},
         {"type ант", Type("ант"), "", true, 0, 1, 1},
         {"Backspace: one letter, not one byte", Key(LookupKey::kBackspace), "", true, 0, 0, 0}});
    EXPECT_EQ(model.SearchText(), "ан");
}

TEST_F(LookupComboModelTest, MovingTheHighlightDropsTheTypedText) {
    Start();
    Type("rda ")(*this);
    ASSERT_EQ(model.SearchText(), "rda ");
    model.KeyPress(Press(LookupKey::kDown));
    EXPECT_EQ(model.SearchText(), "");
    EXPECT_EQ(model.Highlighted(), 3);
    // A new search starts from the first row again.
    Type("rda-")(*this);
    EXPECT_EQ(model.Highlighted(), 1);
    // Closing drops it too.
    model.KeyPress(Press(LookupKey::kEscape));
    EXPECT_EQ(model.SearchText(), "");
}

TEST_F(LookupComboModelTest, WhatTypesNoCharacterDoesNotOpenTheList) {
    Start();
    struct Case {
        const char* what;
        LookupKeyPress key;
    };
    LookupKeyPress control;
    control.text = "r";
    control.control = true;
    LookupKeyPress alt;
    alt.text = "r";
    alt.alt = true;
    LookupKeyPress tab;
    tab.text = "\t";
    LookupKeyPress del;
    del.text = "\x7f";
    LookupKeyPress c1;
    c1.text = "\xc2\x85";  // U+0085, a control character
    const Case cases[] = {
        {"Ctrl+R", control}, {"Alt+R", alt}, {"a tab", tab}, {"DEL", del}, {"NEL", c1}};
    for (const Case& c : cases) {
        EXPECT_FALSE(model.KeyPress(c.key)) << c.what;
        EXPECT_FALSE(model.ListOpen()) << c.what;
        EXPECT_FALSE(TypesPrintable(c.key)) << c.what;
    }
    LookupKeyPress blank;
    blank.text = " ";
    EXPECT_TRUE(TypesPrintable(blank));
}

// Row 6: Up and Down in the closed box step the value, and always notify.
TEST_F(LookupComboModelTest, UpAndDownInTheClosedBox) {
    Start();
    const Action down = Key(LookupKey::kDown);
    const Action up = Key(LookupKey::kUp);
    Run({{"Down without a value: the first", down, "RDA", false, 1, 0, -1},
         {"Down", down, "RDA-2020", false, 2, 1, -1},
         {"Up", up, "RDA", false, 3, 0, -1},
         {"Up on the first: notified all the same", up, "RDA", false, 4, 0, -1},
         {"Down", down, "RDA-2020", false, 5, 1, -1},
         {"Down", down, "RDA Mixed", false, 6, 2, -1},
         {"Down", down, "RDA CW", false, 7, 3, -1},
         {"Down on the last: notified all the same", down, "RDA CW", false, 8, 3, -1}});
    EXPECT_EQ(view.rowsAtChange, (std::vector<int>{0, 1, 0, 0, 1, 2, 3, 3}));
    EXPECT_EQ(view.shown, 0);
}

TEST_F(LookupComboModelTest, UpWithoutAValueChoosesTheFirstRowWhereverTheCurrentRowIs) {
    Start();
    list->SetCurrentRow(2);
    Run({{"Up", Key(LookupKey::kUp), "RDA", false, 1, 0, -1}});
}

TEST_F(LookupComboModelTest, OfEqualTextsUpAndDownStepFromTheRowTheValueCameFrom) {
    Start({"RDA", "RDA-2020", "RDA-2020"});
    Run({{"open", kClickBox, "", true, 0, 0, 0},
         {"click the second RDA-2020", ClickRow(2), "RDA-2020", false, 1, 2, -1},
         {"Up steps from the row that carries the value", Key(LookupKey::kUp), "RDA-2020", false, 2,
          1, -1},
         {"Down", Key(LookupKey::kDown), "RDA-2020", false, 3, 2, -1},
         {"open: on the current row", kClickBox, "RDA-2020", true, 3, 2, 2},
         {"Up", Key(LookupKey::kUp), "RDA-2020", true, 3, 1, 1},
         {"Enter: the same value, no notification", Key(LookupKey::kEnter), "RDA-2020", false, 3, 1,
          -1}});
}

TEST_F(LookupComboModelTest, AValueNoRowCarriesStepsFromTheFirstRow) {
    Start({"RDA", "RDA-2020", "RDA CW"});
    Run({{"Down", Key(LookupKey::kDown), "RDA", false, 1, 0, -1},
         {"Down", Key(LookupKey::kDown), "RDA-2020", false, 2, 1, -1}});
    // The list is re-read without the chosen row.
    auto other = std::make_unique<RowList>(std::vector<std::string>{"RDA", "RDA CW"});
    view.list = other.get();
    model.SetList(other.get());
    list = std::move(other);
    Run({{"Down: the value is in no row, the first", Key(LookupKey::kDown), "RDA", false, 3, 0,
          -1}});
}

TEST_F(LookupComboModelTest, AnEmptyListStillNotifiesOnUpAndDown) {
    Start({});
    Run({{"Down", Key(LookupKey::kDown), "", false, 1, 0, -1},
         {"Up", Key(LookupKey::kUp), "", false, 2, 0, -1},
         {"open", kClickBox, "", true, 2, 0, -1},
         {"Enter on no row", Key(LookupKey::kEnter), "", false, 2, 0, -1}});
}

// Row 7: Alt+Up and Alt+Down open the list, and accept as Enter while it is open.
TEST_F(LookupComboModelTest, AltUpAndAltDownOpenAndAccept) {
    Start();
    Run({{"Alt+Down opens", AltKey(LookupKey::kDown), "", true, 0, 0, 0},
         {"Down", Key(LookupKey::kDown), "", true, 0, 1, 1},
         {"Alt+Up accepts", AltKey(LookupKey::kUp), "RDA-2020", false, 1, 1, -1},
         {"Alt+Up opens", AltKey(LookupKey::kUp), "RDA-2020", true, 1, 1, 1},
         {"Alt+Down accepts the same row", AltKey(LookupKey::kDown), "RDA-2020", false, 1, 1, -1},
         {"Alt+Down opens", AltKey(LookupKey::kDown), "RDA-2020", true, 1, 1, 1},
         {"End", Key(LookupKey::kEnd), "RDA-2020", true, 1, 3, 3},
         {"Alt+Down accepts another row", AltKey(LookupKey::kDown), "RDA CW", false, 2, 3, -1}});
}

// Row 8: Escape in the closed box with a value blanks it, always notifies, and leaves the
// current row where it is.
TEST_F(LookupComboModelTest, EscapeInTheClosedBoxBlanksItAndKeepsTheCurrentRow) {
    Start();
    Run({{"Down", Key(LookupKey::kDown), "RDA", false, 1, 0, -1},
         {"Down", Key(LookupKey::kDown), "RDA-2020", false, 2, 1, -1},
         {"Escape blanks the box; the current row stays", Key(LookupKey::kEscape), "", false, 3, 1,
          -1},
         {"Escape on a blank box does nothing", Key(LookupKey::kEscape), "", false, 3, 1, -1},
         {"Down: the first again", Key(LookupKey::kDown), "RDA", false, 4, 0, -1},
         {"open the list", kClickBox, "RDA", true, 4, 0, 0},
         {"browse Down", Key(LookupKey::kDown), "RDA", true, 4, 1, 1},
         {"browse Down", Key(LookupKey::kDown), "RDA", true, 4, 2, 2},
         {"close without a choice", Key(LookupKey::kEscape), "RDA", false, 4, 2, -1},
         {"Escape: the row last highlighted stays current", Key(LookupKey::kEscape), "", false, 5,
          2, -1}});
    EXPECT_EQ(view.valuesAtChange.back(), "");
}

TEST_F(LookupComboModelTest, KeysTheClosedBoxDoesNotTakeAreHandedOn) {
    Start();
    EXPECT_FALSE(model.KeyPress(Press(LookupKey::kEscape)));  // no value to clear
    EXPECT_FALSE(model.KeyPress(Press(LookupKey::kEnter)));
    EXPECT_FALSE(model.KeyPress(Press(LookupKey::kTab)));
    EXPECT_FALSE(model.KeyPress(Press(LookupKey::kHome)));
    EXPECT_TRUE(model.KeyPress(Press(LookupKey::kDown)));
    EXPECT_TRUE(model.KeyPress(Press(LookupKey::kEscape)));
    // The open list takes every key.
    model.DropDown();
    EXPECT_TRUE(model.KeyPress(Press(LookupKey::kTab)));
    EXPECT_TRUE(model.KeyPress(Press(LookupKey::kOther)));
}

// While the list is not active, nothing of the table works.
TEST_F(LookupComboModelTest, AnInactiveListCannotBeOpenedAndNoKeyChangesTheBox) {
    Start();
    list->active = false;
    model.ListChanged();
    EXPECT_FALSE(model.CanDropDown());
    EXPECT_EQ(model.RowCount(), 0);
    Run({{"click the box", kClickBox, "", false, 0, 0, -1},
         {"press on the button", [](auto& t) { t.model.PressOnBox(true); }, "", false, 0, 0, -1},
         {"Down", Key(LookupKey::kDown), "", false, 0, 0, -1},
         {"Alt+Down", AltKey(LookupKey::kDown), "", false, 0, 0, -1},
         {"type r", Type("r"), "", false, 0, 0, -1}});
    EXPECT_FALSE(model.ButtonPressed());
    EXPECT_FALSE(model.KeyPress(Press(LookupKey::kUp)));
    model.SetList(nullptr);
    EXPECT_FALSE(model.CanDropDown());
    EXPECT_FALSE(model.KeyPress(Press(LookupKey::kDown)));
}

TEST_F(LookupComboModelTest, ReReadingTheListClosesItWithoutAChoice) {
    Start();
    Run({{"open", kClickBox, "", true, 0, 0, 0},
         {"browse Down", Key(LookupKey::kDown), "", true, 0, 1, 1},
         {"the list is re-read", [](auto& t) { t.model.ListChanged(); }, "", false, 0, 1, -1}});
    EXPECT_EQ(model.Highlighted(), -1);
    EXPECT_EQ(model.SearchText(), "");
}

// A change handler that fails or closes the list from inside the notification leaves the
// model consistent: the value is the choice, the list is closed.
TEST_F(LookupComboModelTest, TheNotificationRunsOnceTheListIsClosed) {
    Start();
    bool openDuringChange = true;
    struct Observer : RecordingView {
        std::function<void()> onChange;
        void Changed() override {
            RecordingView::Changed();
            onChange();
        }
    } observer;
    LookupComboModel observed(observer);
    observer.onChange = [&] { openDuringChange = observed.ListOpen(); };
    observed.SetList(list.get());
    observed.PressOnBox(false);
    observed.ReleaseOnRow(2);
    EXPECT_FALSE(openDuringChange);
    EXPECT_EQ(observed.Value(), "RDA Mixed");
    EXPECT_EQ(observer.changes, 1);
}

TEST(LookupListPositionTest, BelowAboveAndMovedLeft) {
    struct Case {
        const char* what;
        LookupRect box;
        LookupRect list;
        LookupRect screen;
        LookupPoint expected;
    };
    const LookupRect screen{0, 0, 800, 600};
    const Case cases[] = {
        {"below", {100, 100, 145, 21}, {0, 0, 145, 50}, screen, {100, 121}},
        {"just fits below", {100, 529, 145, 21}, {0, 0, 145, 50}, screen, {100, 550}},
        {"above", {100, 530, 145, 21}, {0, 0, 145, 50}, screen, {100, 480}},
        {"moved left", {700, 100, 145, 21}, {0, 0, 145, 50}, screen, {655, 121}},
        {"above and moved left", {700, 560, 145, 21}, {0, 0, 145, 50}, screen, {655, 510}},
        {"second screen",
         {2000, 1000, 145, 21},
         {0, 0, 145, 50},
         {1920, 0, 1280, 1024},
         {2000, 950}},
    };
    for (const Case& c : cases) {
        const LookupPoint at = LookupListPosition(c.box, c.list, c.screen);
        EXPECT_EQ(at, c.expected) << c.what << ": " << at.x << "," << at.y;
    }
}

#ifndef _WIN32
// Over the real awards list (ADOQuery1 on an awards database, made here as a SQLite file): the
// model moves the query's current row, so the change handler reads the chosen award's Id.
TEST(LookupComboOverTheAwardsListTest, TheChosenAwardsIdIsCurrentAtTheNotification) {
    test::TempDir dir;
    const auto awards = dir / "awards.mdb";
    const auto logs = dir / "logs.mdb";
    test::MakeDatabase(logs, "CREATE TABLE Aconfig (LogName TEXT, LogFileName TEXT);");
    test::MakeDatabase(awards,
                       "CREATE TABLE Statistic (Id INTEGER, Description TEXT);"
                       "INSERT INTO Statistic VALUES (10, 'RDA'), (15, 'WAZ'), (20, 'RDA-2020'),"
                       " (30, 'RDA-2020'), (40, 'RDA CW');");
    logdb::LoggerDatabases databases;
    databases.OpenDatabases({platform::PathToUtf8(logs), platform::PathToUtf8(awards)});
    databases.ReadAwards();
    QueryLookupList rows(databases.ADOQuery1, "Description");
    rows.Refresh();

    struct IdView : RecordingView {
        logdb::LoggerDatabases* databases = nullptr;
        std::vector<std::string> ids;
        void Changed() override {
            RecordingView::Changed();
            ids.push_back(databases->CurrentAwardId());
        }
    } view;
    view.databases = &databases;
    LookupComboModel model(view);
    model.SetList(&rows);
    ASSERT_EQ(model.RowCount(), 4);  // the awards whose description begins with "RDA"

    model.KeyPress(Press(LookupKey::kDown));  // RDA
    model.KeyPress(Press(LookupKey::kDown));  // the first RDA-2020
    model.PressOnBox(false);
    model.ReleaseOnRow(2);                    // the second RDA-2020: the same text, no notification
    model.KeyPress(Press(LookupKey::kDown));  // RDA CW, stepping from the second RDA-2020
    model.KeyPress(Press(LookupKey::kUp));    // the second RDA-2020
    model.KeyPress(Press(LookupKey::kEscape));
    EXPECT_EQ(view.ids, (std::vector<std::string>{"10", "20", "40", "30", "30"}));
    EXPECT_EQ(model.Value(), "");
}
#endif

}  // namespace
}  // namespace telvora::app
