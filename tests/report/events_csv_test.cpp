#include "documents/events_csv.hpp"

#include <gtest/gtest.h>

namespace torl7 {
namespace {

TEST(EventsCsv, aFieldIsQuotedOnlyWhenItHoldsTheSeparatorAQuoteOrALineBreak) {
    const struct {
        const char* text;
        char separator;
        const char* field;
    } cases[] = {
        {"12,5", ';', "12,5"},
        {"12,5", ',', "\"12,5\""},
        {"Ua; Ub", ';', "\"Ua; Ub\""},
        {"Ua; Ub", ',', "Ua; Ub"},
        {"он сказал \"да\"", ';', "\"он сказал \"\"да\"\"\""},
        {"две\nстроки", ';', "\"две\nстроки\""},
        {"a\rb", ',', "\"a\rb\""},
        {"", ';', ""},
        {" Вкл. ", ';', " Вкл. "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(csvField(c.text, c.separator), c.field) << c.text << " with " << c.separator;
    }
}

TEST(EventsCsv, markTitlesAndOneLinePerEventInOrder) {
    EventRow first{"05.03.16  14:30:45:3",
                   "Вкл.",
                   "Выкл.",
                   "Umin",
                   "215",
                   "220",
                   "218",
                   "12,0",
                   "12,1",
                   "100",
                   "0,0",
                   "-0,85"};
    EventRow second = first;
    second[0] = "06.03.16  00:00:00:0";
    second[3] = "Утечка; тока";
    const std::string semicolons = eventsCsv({first, second});
    EXPECT_EQ(semicolons, "\xEF\xBB\xBF"
                          "Дата/Время;ТОРЛ;Обор.;Защита;Ua, В;Ub, В;Uc, В;Ia, A;Ib, A;Ic, A;Iут, "
                          "А;cos f\r\n"
                          "05.03.16  14:30:45:3;Вкл.;Выкл.;Umin;215;220;218;12,0;12,1;100;0,0;-0,"
                          "85\r\n"
                          "06.03.16  00:00:00:0;Вкл.;Выкл.;\"Утечка; тока\";215;220;218;12,0;12,1;"
                          "100;0,0;-0,85\r\n");
    const std::string commas = eventsCsv({first}, ',');
    EXPECT_EQ(commas, "\xEF\xBB\xBF"
                      "Дата/Время,ТОРЛ,Обор.,Защита,\"Ua, В\",\"Ub, В\",\"Uc, В\",\"Ia, A\","
                      "\"Ib, A\",\"Ic, A\",\"Iут, А\",cos f\r\n"
                      "05.03.16  14:30:45:3,Вкл.,Выкл.,Umin,215,220,218,\"12,0\",\"12,1\",100,"
                      "\"0,0\",\"-0,85\"\r\n");
    EXPECT_EQ(eventsCsv({}), std::string("\xEF\xBB\xBF") +
                                 "Дата/Время;ТОРЛ;Обор.;Защита;Ua, В;Ub, В;Uc, В;Ia, A;Ib, A;"
                                 "Ic, A;Iут, А;cos f\r\n");
}

} // namespace
} // namespace torl7
