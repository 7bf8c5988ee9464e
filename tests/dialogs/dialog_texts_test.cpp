// The dialogs' two-language text table, the choice of language from the
// locale, and the formatting of exposure times.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>

#include "dialogs/dialog_texts.h"
#include "dialogs/exposure_units.h"

namespace {

using namespace vantix::dialogs;

// The printf conversions of a format, in order ("%d%s" -> "ds").
std::string Conversions(std::string_view text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        size_t j = i + 1;
        while (j < text.size() && (text[j] == '.' || (text[j] >= '0' && text[j] <= '9'))) ++j;
        if (j < text.size()) out += text[j];
        i = j;
    }
    return out;
}

TEST(DialogTexts, EveryTextHasBothLanguagesWithTheSameFormatsAndMnemonics) {
    int count = 0;
    const TextEntry* table = TextTable(&count);
    ASSERT_EQ(count, static_cast<int>(TextId::Count));
    for (int i = 0; i < count; ++i) {
        const TextEntry& entry = table[i];
        SCOPED_TRACE(std::string(entry.english));
        EXPECT_FALSE(entry.english.empty());
        EXPECT_FALSE(entry.japanese.empty());
        // A format filled with the same arguments in either language.
        EXPECT_EQ(Conversions(entry.english), Conversions(entry.japanese));
        // A caption with a mnemonic keeps its letter in Japanese.
        const size_t amp = entry.english.find('&');
        if (amp != std::string_view::npos) {
            const std::string mnemonic = "(&" + std::string(1, static_cast<char>(std::toupper(entry.english[amp + 1]))) + ")";
            EXPECT_NE(entry.japanese.find(mnemonic), std::string_view::npos) << entry.japanese;
        }
    }
    EXPECT_EQ(Text(TextId::ClockNormal, Language::English), "Nomal(24MHz)");
    EXPECT_EQ(Text(TextId::Title, Language::Japanese), "プロパティ");
}

TEST(DialogTexts, JapaneseOnlyForTheLanguageJa) {
    for (const char* locale : {"ja_JP.UTF-8", "ja", "ja_JP", "ja.eucJP", "ja_JP@cjknarrow"}) {
        EXPECT_EQ(LanguageOfLocale(locale), Language::Japanese) << locale;
    }
    for (const char* locale : {"C", "POSIX", "en_US.UTF-8", "jam_JM", "de_DE", "", "j"}) {
        EXPECT_EQ(LanguageOfLocale(locale), Language::English) << locale;
    }
    EXPECT_EQ(LanguageOfLocale(nullptr), Language::English);
}

TEST(DialogTexts, UserLanguageFollowsTheMessagesLocaleVariables) {
    const auto with = [](const char* all, const char* messages, const char* lang) {
        for (auto [name, value] : {std::pair{"LC_ALL", all}, std::pair{"LC_MESSAGES", messages}, std::pair{"LANG", lang}}) {
            if (value == nullptr) {
                unsetenv(name);
            } else {
                setenv(name, value, 1);
            }
        }
        return UserLanguage();
    };
    EXPECT_EQ(with(nullptr, nullptr, "ja_JP.UTF-8"), Language::Japanese);
    EXPECT_EQ(with(nullptr, "en_GB.UTF-8", "ja_JP.UTF-8"), Language::English);
    EXPECT_EQ(with("ja_JP.UTF-8", "en_GB.UTF-8", "en_GB.UTF-8"), Language::Japanese);
    EXPECT_EQ(with("", "", "ja_JP.UTF-8"), Language::Japanese);  // empty variables do not count
    EXPECT_EQ(with(nullptr, nullptr, nullptr), Language::English);
}

TEST(ExposureUnits, UnitByMagnitudeAndDecimalsByFraction) {
    EXPECT_EQ(UnitForSeconds(2.5), ExposureUnit::Seconds);
    EXPECT_EQ(UnitForSeconds(1.0), ExposureUnit::Milliseconds);  // sec only above 1
    EXPECT_EQ(UnitForSeconds(0.001), ExposureUnit::Milliseconds);
    EXPECT_EQ(UnitForSeconds(0.0009), ExposureUnit::Microseconds);
    EXPECT_EQ(UnitForSeconds(0.000001), ExposureUnit::Microseconds);
    EXPECT_EQ(UnitForSeconds(0.0000009), ExposureUnit::Nanoseconds);
    EXPECT_EQ(FormatExposureNumber(175.25), "175.250");
    EXPECT_EQ(FormatExposureNumber(5.000004), "5.000004");
    EXPECT_EQ(FormatExposureNumber(12.0000004), "12");
    EXPECT_EQ(FormatExposureNumber(100.0), "100");
    EXPECT_EQ(UnitsPerSecond(ExposureUnit::Microseconds), 1e6);
}

}  // namespace
