// The settings file's text format on its own, without files: parsing keeps
// what reads and counts what does not, the three encodings read alike, and a
// written document reads back to the same text (what the fuzz target checks
// on arbitrary bytes, here on a seeded batch of mangled files).
#include "settings/reg_format.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vantix {
namespace {

constexpr char kFile[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk\\Camera_00]\r\n"
    "\"Size\"=dword:00000002\r\n"
    "\"Name\"=\"camera \\\"one\\\"\"\r\n"
    "\"ExposureEx\"=hex:00,00,00,00,00,00,f0,3f\r\n\r\n";

TEST(RegFormat, ParsesKeepsReadableLinesAndWritesTheSameText) {
    SettingsDocument document;
    const RegParseResult parsed = ParseRegText(kFile, &document);
    EXPECT_TRUE(parsed.headerFound);
    EXPECT_EQ(parsed.skippedLines, 0u);
    EXPECT_FALSE(document.damaged);
    EXPECT_EQ(document.valueCount, 3u);
    EXPECT_EQ(document.Serialize(), kFile);

    // A line that does not parse is skipped and counted; the rest stays.
    SettingsDocument damaged;
    const std::string text = std::string(kFile) + "\"Broken\"=dword:12\r\n";
    const RegParseResult result = ParseRegText(text, &damaged);
    EXPECT_EQ(result.skippedLines, 1u);
    EXPECT_TRUE(damaged.damaged);
    EXPECT_EQ(damaged.Serialize(), kFile);
}

TEST(RegFormat, ByteOrderMarksAndTheEditorsUtf16ReadAlike) {
    std::string utf16 = "\xff\xfe";
    for (char c : std::string(kFile)) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    for (const std::string& bytes : {std::string("\xef\xbb\xbf") + kFile, utf16}) {
        SettingsDocument document;
        ParseRegText(bytes, &document);
        EXPECT_FALSE(document.damaged);
        EXPECT_EQ(document.Serialize(), kFile);
    }
}

TEST(RegFormat, MangledFilesReadBackToTheTextTheyWriteAs) {
    std::mt19937 random(20240601);
    const std::string base = std::string(kFile) + "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n\"x\"=-\r\n";
    for (int round = 0; round < 500; ++round) {
        std::string bytes = base;
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % (bytes.size() + 1);
            switch (random() % 3) {
                case 0: bytes.insert(at, 1, static_cast<char>(random() % 256)); break;
                case 1: if (at < bytes.size()) bytes.erase(at, 1); break;
                default: if (at < bytes.size()) bytes[at] = "\"\\[]=,:@\r\n-x0f"[random() % 15]; break;
            }
        }
        SettingsDocument document;
        ParseRegText(bytes, &document);
        const std::string text = document.Serialize();
        SettingsDocument again;
        ParseRegText(text, &again);
        ASSERT_FALSE(again.damaged) << round;
        ASSERT_EQ(again.Serialize(), text) << round;
    }
}

}  // namespace
}  // namespace vantix
