#include "protocol/cp1251.hpp"

#include <gtest/gtest.h>

using namespace torl7;

TEST(Cp1251, cyrillicAndAsciiRoundTrip) {
    const Bytes unit{0xD2, 0xCE, 0xD0, 0xCB, 0x2D, 0x37, 0x20, 0xE2, 0x31, 0x36, 0x2E, 0x39};
    EXPECT_EQ(decodeCp1251(unit), "ТОРЛ-7 в16.9");
    EXPECT_EQ(encodeCp1251("ТОРЛ-7 в16.9"), unit);
    EXPECT_EQ(encodeCp1251("Ёё№"), (Bytes{0xA8, 0xB8, 0xB9}));
    EXPECT_EQ(decodeCp1251(Bytes{0xC0, 0xFF}), "Ая");
}

TEST(Cp1251, everyByteHasACharacterAndComesBackUnchanged) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    const std::string text = decodeCp1251(all);
    EXPECT_EQ(utf8Length(text), 256u);
    EXPECT_EQ(encodeCp1251(text), all);
}

TEST(Cp1251, charactersWithoutAByteBecomeQuestionMarks) {
    EXPECT_EQ(encodeCp1251("a€b"), (Bytes{'a', 0x88, 'b'}));
    EXPECT_EQ(encodeCp1251("中"), (Bytes{'?'}));
    EXPECT_EQ(encodeCp1251("😀x"), (Bytes{'?', 'x'}));
    // Broken UTF-8: a lone continuation byte and a sequence cut short.
    EXPECT_EQ(encodeCp1251(std::string("\x80z", 2)), (Bytes{'?', 'z'}));
    EXPECT_EQ(encodeCp1251(std::string("\xD0", 1)), (Bytes{'?'}));
    EXPECT_EQ(utf8Length(std::string("\xE2\x82", 2)), 2u);
}
