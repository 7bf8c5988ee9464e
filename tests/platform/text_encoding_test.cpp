#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace vantix {
namespace {

// Each test sets the locale it needs and the fixture restores the process
// locale, which the rest of the suite relies on.
class TextEncodingTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

    static void UseLocale(const char* name) { ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name; }

    static bool AllZero(const std::vector<char>& buffer) {
        for (char c : buffer) {
            if (c != '\0') {
                return false;
            }
        }
        return true;
    }

private:
    std::string saved_;
};

constexpr char16_t kNonAscii[] = u"Kamera Gr\u00F6\u00DFe \u65E5\u672C \U0001F4F7";
constexpr char kNonAsciiUtf8[] = "Kamera Gr\xC3\xB6\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB7";

TEST_F(TextEncodingTest, RoundTripsNonAsciiUnderUtf8Locale) {
    UseLocale("C.UTF-8");
    std::vector<char> narrow(kAnsiPathBufferSize, 'x');
    ASSERT_TRUE(Utf16ToAnsi(kNonAscii, narrow.data(), narrow.size()));
    EXPECT_STREQ(narrow.data(), kNonAsciiUtf8);
    EXPECT_EQ(narrow[std::strlen(kNonAsciiUtf8) + 1], '\0');  // rest zero-filled

    char16_t wide[64];
    const int units = AnsiToUtf16(narrow.data(), wide, 64);
    ASSERT_EQ(units, static_cast<int>(Utf16Length(kNonAscii)));
    EXPECT_EQ(std::u16string(wide), std::u16string(kNonAscii));

    EXPECT_TRUE(Utf16ToAnsi(u"", narrow.data(), narrow.size()));
    EXPECT_TRUE(AllZero(narrow));
    EXPECT_EQ(AnsiToUtf16("", wide, 64), 0);
    EXPECT_EQ(wide[0], u'\0');
}

TEST_F(TextEncodingTest, UnpairedSurrogatesFailAndLeaveBufferZeroed) {
    UseLocale("C.UTF-8");
    const std::u16string cases[] = {
        u"abc\xD800",        // high surrogate at the end
        u"abc\xD800xyz",     // high surrogate followed by a non-surrogate
        u"abc\xDC00xyz",     // low surrogate on its own
        u"\xD83D\xD83D\xDCF7",  // two high surrogates in a row
    };
    for (const std::u16string& text : cases) {
        std::vector<char> narrow(32, 'x');
        EXPECT_FALSE(Utf16ToAnsi(text.c_str(), narrow.data(), narrow.size()));
        EXPECT_TRUE(AllZero(narrow));
    }
}

TEST_F(TextEncodingTest, PathBufferLeavesRoomForTheTerminator) {
    UseLocale("C.UTF-8");
    std::vector<char> narrow(kAnsiPathBufferSize);

    const std::u16string fits(kAnsiPathBufferSize - 1, u'a');
    ASSERT_TRUE(Utf16ToAnsi(fits.c_str(), narrow.data(), narrow.size()));
    EXPECT_EQ(std::strlen(narrow.data()), kAnsiPathBufferSize - 1);

    const std::u16string tooLong(kAnsiPathBufferSize, u'a');
    EXPECT_FALSE(Utf16ToAnsi(tooLong.c_str(), narrow.data(), narrow.size()));
    EXPECT_TRUE(AllZero(narrow));

    // The limit is in bytes of the result, not in UTF-16 units: each u00E9 takes two.
    const std::u16string twoByteFits(kAnsiPathBufferSize / 2 - 1, u'\u00E9');
    EXPECT_TRUE(Utf16ToAnsi(twoByteFits.c_str(), narrow.data(), narrow.size()));
    const std::u16string twoByteTooLong(kAnsiPathBufferSize / 2, u'\u00E9');
    EXPECT_FALSE(Utf16ToAnsi(twoByteTooLong.c_str(), narrow.data(), narrow.size()));
    EXPECT_TRUE(AllZero(narrow));
}

TEST_F(TextEncodingTest, NullArgumentsFail) {
    std::vector<char> narrow(8, 'x');
    EXPECT_FALSE(Utf16ToAnsi(nullptr, narrow.data(), narrow.size()));
    EXPECT_TRUE(AllZero(narrow));
    EXPECT_FALSE(Utf16ToAnsi(u"a", nullptr, 8));
    EXPECT_FALSE(Utf16ToAnsi(u"a", narrow.data(), 0));

    char16_t wide[4];
    EXPECT_EQ(AnsiToUtf16(nullptr, wide, 4), -1);
    EXPECT_EQ(AnsiToUtf16("a", nullptr, 4), -1);
    EXPECT_EQ(AnsiToUtf16("a", wide, 0), -1);
    EXPECT_EQ(Utf16Length(nullptr), 0u);
}

TEST_F(TextEncodingTest, AnsiToUtf16RejectsOverflowAndInvalidInput) {
    UseLocale("C.UTF-8");
    char16_t wide[5];
    EXPECT_EQ(AnsiToUtf16("abcde", wide, 5), -1);
    EXPECT_EQ(AnsiToUtf16("abcd", wide, 5), 4);
    EXPECT_EQ(wide[4], u'\0');
    // A character outside the BMP needs two units.
    EXPECT_EQ(AnsiToUtf16("ab\xF0\x9F\x93\xB7", wide, 4), -1);
    EXPECT_EQ(AnsiToUtf16("ab\xF0\x9F\x93\xB7", wide, 5), 4);
    EXPECT_EQ(AnsiToUtf16("a\xC3(", wide, 5), -1);   // broken sequence
    EXPECT_EQ(AnsiToUtf16("a\xC3", wide, 5), -1);    // truncated sequence
}

// Without setlocale a process runs in the "C" locale, whose charset is ASCII.
TEST_F(TextEncodingTest, AsciiLocaleRejectsWhatItCannotRepresent) {
    UseLocale("C");
    std::vector<char> narrow(32, 'x');
    EXPECT_TRUE(Utf16ToAnsi(u"plain.bmp", narrow.data(), narrow.size()));
    EXPECT_STREQ(narrow.data(), "plain.bmp");
    EXPECT_FALSE(Utf16ToAnsi(u"gr\u00F6\u00DFe.bmp", narrow.data(), narrow.size()));
    EXPECT_TRUE(AllZero(narrow));
    char16_t wide[16];
    EXPECT_EQ(AnsiToUtf16("gr\xC3\xB6", wide, 16), -1);
}

}  // namespace
}  // namespace vantix
