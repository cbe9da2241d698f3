#include "gui/pages/protocol_page.hpp"

#include "app/control_expectations.hpp"

#include <QHeaderView>
#include <QTableWidget>

using namespace torl7;
using namespace torl7::testing;

namespace {

class ProtocolPageTest : public ::testing::Test {
protected:
    ProtocolPage page;
};

TEST_F(ProtocolPageTest, eventGridHasThirteenHeadedColumnsAndNoRowsAtStart) {
    auto* grid = findControl<QTableWidget>(&page, "StGr_prot");
    ASSERT_EQ(grid, page.StGr_prot);
    const QStringList expected{"№ п/п", "Дата/Время", "ТОРЛ",  "Обор.", "Защита", "Ua, В", "Ub, В",
                               "Uc, В", "Ia, A",      "Ib, A", "Ic, A", "Iут, А", "cos f"};
    ASSERT_EQ(grid->columnCount(), 13);
    QStringList headers;
    for (int column = 0; column < grid->columnCount(); ++column)
        headers.append(grid->horizontalHeaderItem(column)->text());
    EXPECT_EQ(headers, expected);
    EXPECT_EQ(ProtocolPage::kEventColumns, expected);
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(grid));
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(ProtocolPageTest, headerUnitsKeepTheirLatinAndCyrillicLetters) {
    // Look-alike letters differ in code: the report and the grid compare these texts.
    const QChar latinA(0x0041);
    const QChar cyrillicA(0x0410);
    const QChar cyrillicVe(0x0412);
    const QStringList& headers = ProtocolPage::kEventColumns;
    for (int column : {5, 6, 7})
        EXPECT_EQ(headers[column].back(), cyrillicVe) << column;
    for (int column : {8, 9, 10})
        EXPECT_EQ(headers[column].back(), latinA) << column;
    EXPECT_EQ(headers[11].back(), cyrillicA);
    EXPECT_EQ(headers[2], QString::fromUtf16(u"\u0422\u041e\u0420\u041b")) << "ТОРЛ in Cyrillic";
}

TEST_F(ProtocolPageTest, accountingTextsStartEmptyBesideTheirCaptions) {
    expectControls<StaticText>(&page, {
                                          {"st_nuh", "", {"Начало учета:"}},
                                          {"st_nwa", "", {"Wа:", "кВтч"}},
                                          {"st_tdv", "", {"Наработка об., (ч:м:с):"}},
                                          {"st_kvdv", "", {"К-во включений оборуд.:"}},
                                          {"st_kzdv", "", {"К-во сработан. защит:"}},
                                      });
    expectControls<Button>(&page, {
                                      {"Button7", "Считать учетную запись"},
                                      {"Button8", "Обнулить учетную запись"},
                                      {"Button1", "Считать протокол"},
                                      {"btn_save_prot", "Сохранить протокол"},
                                  });
    expectControls<ProgressBar>(&page, {{"pb_prot", 0, 10}});
}

TEST_F(ProtocolPageTest, aFullProtocolFitsItsColumnsWithoutCutting) {
    // The longest texts a row can hold, written the way the protocol reader writes them.
    const QStringList widest{"100",          "30.12.99  23:59:59:15",
                             "Выкл.",        "Выкл.",
                             "Заклинивание", "65535",
                             "65535",        "65535",
                             "6554",         "6554",
                             "6554",         "6554",
                             "-0,99"};
    QTableWidget* grid = page.StGr_prot;
    grid->setRowCount(100);
    for (int column = 0; column < widest.size(); ++column) {
        SCOPED_TRACE(column);
        grid->setItem(99, column, new QTableWidgetItem(widest[column]));
        const int needed = grid->fontMetrics().horizontalAdvance(widest[column]);
        // A cell keeps a few pixels of margin on either side of its text.
        EXPECT_GE(grid->columnWidth(column), needed + 6);
    }
}

TEST_F(ProtocolPageTest, membersPointAtTheControlsOfTheirNames) {
    expectMembersNamed({
        TORL7_MEMBER(page, StGr_prot),
        TORL7_MEMBER(page, st_nuh),
        TORL7_MEMBER(page, st_nwa),
        TORL7_MEMBER(page, st_tdv),
        TORL7_MEMBER(page, st_kvdv),
        TORL7_MEMBER(page, st_kzdv),
        TORL7_MEMBER(page, Button7),
        TORL7_MEMBER(page, Button8),
        TORL7_MEMBER(page, pb_prot),
        TORL7_MEMBER(page, Button1),
        TORL7_MEMBER(page, btn_save_prot),
    });
}

TEST_F(ProtocolPageTest, pageFitsAServiceLaptopScreenWithNothingCutOrOverlapping) {
    const QSize preferred = page.sizeHint();
    EXPECT_LE(preferred.width(), 1000);
    EXPECT_LE(preferred.height(), 700);
    expectNothingClippedOrOverlapping(&page);
}

} // namespace
