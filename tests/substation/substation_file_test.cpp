// The substation file: what it holds reads back the same, and every fault a person can make in
// it is refused with the line and column where it stands (counted by hand in the texts below).
#include "documents/substation_file.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

// A valid file with one line and two units; `unit2` replaces the second unit's object.
std::string document(const std::string& unit2 = R"({"number": 601, "line": "bus1"})",
                     const std::string& extraRoot = "") {
    return "{\n"
           "  \"format\": \"torl7-substation\",\n"
           "  \"format_version\": 1,\n" +
           extraRoot +
           "  \"name\": \"ПС Северная\",\n"
           "  \"lines\": [{\"id\": \"bus1\", \"port\": \"tcp://10.0.0.5:4001\", "
           "\"speed_baud\": 9600}],\n"
           "  \"units\": [\n"
           "    {\"number\": 600, \"line\": \"bus1\", \"switchgear\": \"КРУ-6\", \"bay\": "
           "\"яч. 4\", \"motor\": \"Насос 1\", \"commissioned\": \"600.json\"},\n"
           "    " +
           unit2 +
           "\n"
           "  ]\n"
           "}\n";
}

} // namespace

TEST(SubstationFile, readsBackWhatItWritesAndRefusesEachFaultWhereItStands) {
    const SubstationRead good = readSubstationFile(document());
    ASSERT_TRUE(good.substation) << good.error;
    const Substation& s = *good.substation;
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0], (SubstationLine{"bus1", "tcp://10.0.0.5:4001", 9600}));
    ASSERT_EQ(s.units.size(), 2u);
    EXPECT_EQ(s.units[0], (SubstationUnit{600, "bus1", "КРУ-6", "яч. 4", "Насос 1", "600.json"}));
    EXPECT_EQ(Substation::title(s.units[0]), "КРУ-6, яч. 4, Насос 1");
    const SubstationRead again = readSubstationFile(writeSubstationFile(s));
    ASSERT_TRUE(again.substation) << again.error;
    EXPECT_EQ(*again.substation, s);

    // Line 8 holds the second unit, from column 5; line 4 an extra root member. A fault is
    // placed just past its member's name, at the colon.
    const struct {
        const char* what;
        std::string text;
        std::string error;
    } faults[] = {
        {"unknown root member", document(R"({"number": 601, "line": "bus1"})", "  \"nme\": 1,\n"),
         "unknown member \"nme\" at line 4, column 8"},
        {"unknown unit member", document(R"({"number": 601, "line": "bus1", "feeder": "x"})"),
         "unknown member \"feeder\" at line 8, column 45"},
        {"a member twice", document(R"({"number": 601, "line": "bus1", "line": "bus1"})"),
         "member \"line\" given twice at line 8, column 43"},
        {"a number twice", document(R"({"number": 600, "line": "bus1"})"),
         "unit 600 given twice at line 8, column 14"},
        {"an unknown line", document(R"({"number": 601, "line": "bus9"})"),
         "no line \"bus9\" in \"lines\" at line 8, column 27"},
        {"a number out of range", document(R"({"number": 99, "line": "bus1"})"),
         "\"number\" must be a whole number 100..65535 at line 8, column 14"},
        {"a text on two lines", document(R"({"number": 601, "line": "bus1", "bay": "a\nb"})"),
         "\"bay\" must be one line of text, not empty at line 8, column 42"},
    };
    for (const auto& f : faults) {
        const SubstationRead read = readSubstationFile(f.text);
        EXPECT_FALSE(read.substation) << f.what;
        EXPECT_EQ(read.error, f.error) << f.what;
        EXPECT_FALSE(read.errorRussian.empty()) << f.what;
    }
}

TEST(SubstationFile, aUnitPlacedOrRemovedKeepsTheFileValidAndTakesItsEmptiedLineAlong) {
    const SubstationLine bus1{"bus1", "/dev/ttyUSB0", 115200};
    const SubstationLine bus2{"bus2", "tcp://10.0.0.5:4001", 9600};
    const SubstationUnit u600{600, "bus1", "КРУ-6", "яч. 4", "", "600.json"};
    const SubstationUnit u601{601, "bus2", "", "", "Насос 2", ""};
    const Substation start{"ПС", {bus1, bus2}, {u600, u601}};
    const SubstationLine moved{"bus2", "tcp://10.0.0.6:4001", 19200};
    const SubstationLine bus3{"bus3", "rfc2217://10.0.0.7:4002", 115200};
    const SubstationUnit u602{602, "", "", "яч. 9", "", ""};
    const SubstationUnit u605{605, "", "", "", "", ""};

    const struct {
        const char* what;
        SubstationUnit unit;
        SubstationLine line;
        int replacing;
        std::string fault; // empty: done
        Substation after;
    } cases[] = {
        {"new unit, its line moved for both",
         u602,
         moved,
         0,
         "",
         {"ПС",
          {bus1, moved},
          {u600, {601, "bus2", "", "", "Насос 2", ""}, {602, "bus2", "", "яч. 9", "", ""}}}},
        {"renumbered onto a new line: the old one goes",
         u605,
         bus3,
         601,
         "",
         {"ПС", {bus1, bus3}, {u600, {605, "bus3", "", "", "", ""}}}},
        {"edited in place",
         {600, "", "КРУ-10", "", "", ""},
         bus1,
         600,
         "",
         {"ПС", {bus1, bus2}, {{600, "bus1", "КРУ-10", "", "", ""}, u601}}},
        {"a number the file has",
         {601, "", "", "", "", ""},
         bus1,
         0,
         "Устройство № 601 уже есть в файле подстанции",
         start},
        {"renumbered to a number taken",
         {601, "", "", "", "", ""},
         bus1,
         600,
         "Устройство № 601 уже есть в файле подстанции",
         start},
        {"a number out of range",
         {99, "", "", "", "", ""},
         bus1,
         0,
         "Заводской номер должен быть от 100 до 65535",
         start},
        {"no line name",
         u602,
         {"", "/dev/ttyUSB1", 9600},
         0,
         "Имя линии должно быть непустой строкой текста",
         start},
        {"no port",
         u602,
         {"bus1", "", 9600},
         0,
         "Порт линии должен быть непустой строкой текста",
         start},
        {"a speed the unit lacks",
         u602,
         {"bus1", "/dev/ttyUSB0", 12345},
         0,
         "Скорость линии 12345 бод/сек не поддерживается",
         start},
        {"a name with a tab",
         {602, "", "", "яч.\t9", "", ""},
         bus1,
         0,
         "Названия устройства должны быть строками текста без табуляций и переводов строки",
         start},
    };
    for (const auto& c : cases) {
        Substation s = start;
        EXPECT_EQ(placeUnit(s, c.unit, c.line, c.replacing), c.fault) << c.what;
        EXPECT_EQ(s, c.after) << c.what;
        if (c.fault.empty()) {
            const SubstationRead again = readSubstationFile(writeSubstationFile(s));
            EXPECT_TRUE(again.substation) << c.what << ": " << again.error;
        }
    }

    Substation s = start;
    removeUnit(s, 999);
    EXPECT_EQ(s, start);
    removeUnit(s, 601);
    EXPECT_EQ(s, (Substation{"ПС", {bus1}, {u600}}));
}
