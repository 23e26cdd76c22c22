#include "common/Cp1251.h"
#include "settings/Editor.h"

#include <gtest/gtest.h>

using common::Cp1251FromUtf8;
using common::Utf8FromCp1251;

TEST(Cp1251, NamesAndTheDeleteItem) {
    EXPECT_EQ(Cp1251FromUtf8("Урал13E"), "\xD3\xF0\xE0\xEB" "13E");
    EXPECT_EQ(Utf8FromCp1251("\xD3\xF0\xE0\xEB" "13E"), "Урал13E");
    EXPECT_EQ(Cp1251FromUtf8("УДАЛИТЬ"), settings::kDeleteName);
    EXPECT_EQ(Cp1251FromUtf8("Ёё№€ яА"), "\xA8\xB8\xB9\x88 \xFF\xC0");
    EXPECT_EQ(Cp1251FromUtf8("Ast 19E"), "Ast 19E");
}

TEST(Cp1251, EveryByteComesBackUnchanged) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string text = Utf8FromCp1251(all);
    EXPECT_EQ(Cp1251FromUtf8(text), all);
    EXPECT_EQ(Utf8FromCp1251("\x98"), "\xC2\x98") << "the byte without a character";
    EXPECT_EQ(Utf8FromCp1251("\xA0\xB9"), "\xC2\xA0№");
}

TEST(Cp1251, OneByteForEveryCharacterEvenWithoutOne) {
    // The name's length decides whether it is accepted: a character the
    // encoding lacks still counts as one.
    EXPECT_EQ(Cp1251FromUtf8("中文 ä😀"), "?? ??");
    // Broken UTF-8: '?' for each broken sequence, the rest kept.
    EXPECT_EQ(Cp1251FromUtf8("\xFF" "A"), "?A");
    EXPECT_EQ(Cp1251FromUtf8("A\xD0"), "A?");
    EXPECT_EQ(Cp1251FromUtf8("\xD0" "A"), "?A");
    EXPECT_EQ(Cp1251FromUtf8("\xC0\x80"), "??") << "overlong";
    EXPECT_EQ(Cp1251FromUtf8("\xED\xA0\x80"), "?") << "surrogate";
    EXPECT_EQ(Cp1251FromUtf8("\xE0\x80\x80"), "?") << "overlong";
}
