// The selectable list: rows typed one after the other, the strict band of
// each row under the pointer, row and hover colours, the row limit, the
// row values and texts, and the saved state.
#include <gtest/gtest.h>

#include <cstring>

#include "AnimTestSupport.h"
#include "anim/ButtonLib.h"
#include "graphics/ARGB8888Font.h"

using namespace zel;
using namespace zeltest;

namespace {

struct InkRaster : IGlyphRasterizer {
    TTextSize Render(const TGlyphRequest&, uint8_t* bm, int32_t w, int32_t h) override {
        std::memset(bm, 0x80, size_t(w) * size_t(h));
        return {w, h};
    }
};

class List : public ::testing::Test {
protected:
    List() : fonts(raster) {
        services.fonts = &fonts;
        list = std::make_unique<TMessageSelect>(nullptr, res, nullptr, &services);
        EXPECT_TRUE(list->SetArea(0, 10, 200, 4500));
        list->MoveTo(20, 30, 5, 0);
        list->SetHitArea(0, 0, 200, 4500);
        list->Enable();
        list->ClearRows();
        list->Update(255, 10);
    }
    void Row(const std::string& text, uint32_t colour) {
        list->AddText(text);
        list->AddRow(colour);
    }
    // The pointer at (x, y), then a click.
    int32_t ClickAt(int32_t x, int32_t y) {
        list->Update(255, 10);
        list->SetMouse(255, x, y);
        return list->ClickRow(255);
    }
    std::vector<TDrawCell> Colours() {
        TARGB8888CellDraw d;
        d.SetSize(320, 480);
        list->Draw(d, 255, 0, 0);
        std::vector<TDrawCell> out;
        for (const TDrawCell& c : RenderedCells(d))
            if (c.type == 0) out.push_back(c);
        return out;
    }
    InkRaster raster;
    TFontTable fonts;
    TMessageServices services;
    TAnimationResources res;
    std::unique_ptr<TMessageSelect> list;
};

TEST_F(List, RowsAndTheirStrictBands) {
    list->SetRowValue(9);  // before any row: ignored
    list->SetRowText("x");
    Row("ab", 0);
    Row("cd", 0xFF112233);
    Row("ef", 0);
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_EQ(list->RowValue(0), 0);
    EXPECT_EQ(list->RowText(0), "");
    list->SetRowValue(42);
    list->SetRowText("third");
    EXPECT_EQ(list->RowValue(2), 42);
    EXPECT_EQ(list->RowText(2), "third");
    const int32_t y0 = list->RowStartY(0), y1 = list->RowStartY(1), y2 = list->RowStartY(2);
    ASSERT_LT(y0, y1);
    ASSERT_LT(y1, y2);
    // The band of row 1 in screen terms: x in (20, 220), y in (40 + y1, 40 + y2).
    struct Case {
        int32_t x, y, row;
    };
    const Case cases[] = {
        {100, 40 + y1 + 1, 1}, {100, 40 + y2 - 1, 1},  // inside
        {100, 40 + y1, -1},    {100, 40 + y2, -1},     // on the edges between rows
        {20, 40 + y1 + 1, -1}, {220, 40 + y1 + 1, -1}, // on the left and right edges
        {21, 40 + y0 + 1, 0},  {219, 40 + y2 + 1, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(ClickAt(c.x, c.y), c.row) << c.x << "," << c.y;
    // Each click toggled its row: row 1 twice, rows 0 and 2 once.
    EXPECT_TRUE(list->RowToggled(0));
    EXPECT_FALSE(list->RowToggled(1));
    EXPECT_TRUE(list->RowToggled(2));
    EXPECT_EQ(ClickAt(100, 40 + y1 + 1), 1);
    EXPECT_TRUE(list->RowToggled(1));
    // A click on a layer the list is not on selects nothing.
    list->SetMouse(255, 100, 40 + y1 + 1);
    EXPECT_EQ(list->ClickRow(0), -1);
}

TEST_F(List, RowAndHoverColours) {
    Row("ab", 0);
    Row("cd", 0xFF112233);
    Row("ef", 0);
    list->SetHoverColour(0x80FFFFFF);
    const int32_t y1 = list->RowStartY(1), y2 = list->RowStartY(2), y3 = list->RowStartY(3);
    list->SetMouse(255, 500, 500);  // off the list: only the coloured row
    std::vector<TDrawCell> cells = Colours();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].y1, 40 + y1);
    EXPECT_EQ(cells[0].y2, 40 + y2 - 1);
    EXPECT_EQ(cells[0].x1, 20);
    EXPECT_EQ(cells[0].x2, 220);
    // Over row 2, whose colour is 0: it still gets the hover colour.
    list->Update(255, 10);
    list->SetMouse(255, 100, 40 + y2 + 2);
    cells = Colours();
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1].y1, 40 + y2);
    EXPECT_EQ(cells[1].y2, 40 + y3 - 1);
    EXPECT_EQ(cells[1].alpha, 0x80);
}

TEST_F(List, TheRowLimit) {
    for (int i = 0; i < 130; ++i) Row("a", 0);
    EXPECT_EQ(list->RowCount(), TMessageSelect::kMaxRows);
    const int32_t last = list->RowStartY(TMessageSelect::kMaxRows);
    EXPECT_GT(last, list->RowStartY(TMessageSelect::kMaxRows - 1));
}

TEST_F(List, StateRoundTrips) {
    Row("ab", 0xFF010203);
    list->SetRowValue(5);
    list->SetRowText("one");
    Row("cd", 0);
    list->SetHoverColour(0xFF445566);
    ClickAt(100, 40 + list->RowStartY(1) + 1);
    TMemoryStream s;
    list->SaveState(s);
    TMessageSelect back(nullptr, res, nullptr, &services);
    TMemoryStream in(s.TakeBytes());
    ASSERT_TRUE(back.LoadState(in));
    EXPECT_EQ(back.RowCount(), 2);
    EXPECT_EQ(back.RowValue(0), 5);
    EXPECT_EQ(back.RowText(0), "one");
    EXPECT_EQ(back.RowColour(0), 0xFF010203u);
    EXPECT_EQ(back.RowStartY(2), list->RowStartY(2));
    EXPECT_TRUE(back.RowToggled(1));
    EXPECT_EQ(back.HoverColour(), 0xFF445566u);
}

}  // namespace
