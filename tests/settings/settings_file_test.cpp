// The settings file: registry editor text, transactions between processes,
// and damaged files.
#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vantix::OpenKeyForReading;
using vantix::SettingsKey;
using vantix::SettingsSnapshot;
using vantix::SettingsTransaction;

constexpr char kHeaderLine[] = "Windows Registry Editor Version 5.00\r\n";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

uint32_t Dword(std::string_view path, std::string_view name) {
    const std::optional<SettingsKey> key = OpenKeyForReading(path);
    uint32_t value = 0xdeadbeef;
    if (!key || !key->QueryDword(name, &value)) return 0xdeadbeef;
    return value;
}

// Points the settings file at a directory of the test's own (not yet
// created, so saves must create it) and removes it afterwards.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        // The test process has a private settings file of its own; it is put
        // back afterwards so later tests never reach the user's settings.
        const char* previous = std::getenv(vantix::kSettingsFileVariable);
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        directory_ = fs::temp_directory_path() /
                     ("vantix-settings-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        file_ = directory_ / "config" / "registry.reg";
        setenv(vantix::kSettingsFileVariable, file_.c_str(), 1);
    }
    void TearDown() override {
        if (hadPrevious_) {
            setenv(vantix::kSettingsFileVariable, previous_.c_str(), 1);
        } else {
            unsetenv(vantix::kSettingsFileVariable);
        }
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
    void WriteFile(const std::string& text) {
        fs::create_directories(file_.parent_path());
        WriteText(file_, text);
    }
    std::vector<fs::path> FilesStartingWith(const std::string& prefix) const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(file_.parent_path())) {
            if (entry.path().filename().string().starts_with(prefix)) found.push_back(entry.path());
        }
        return found;
    }

    std::string previous_;
    bool hadPrevious_ = false;
    fs::path directory_;
    fs::path file_;
};

TEST_F(SettingsFileTest, ValuesRoundTripAndParentsOfCreatedKeysExist) {
    SettingsTransaction save;
    EXPECT_TRUE(save.SetDword("Software\\Morvek\\Sdk\\Camera_00", "Size", 3));
    const std::vector<uint8_t> blob{0x00, 0xff, 0x10, 0x7f};
    EXPECT_TRUE(save.SetBinary("Software\\Morvek\\Sdk\\Camera_00\\Gain", "Blob", blob));
    EXPECT_TRUE(save.CreateKey("Software\\Morvek\\Sdk\\Camera_01"));
    ASSERT_TRUE(save.Commit());
    EXPECT_FALSE(save.Commit());  // one transaction, one save

    const SettingsSnapshot snapshot = SettingsSnapshot::Load();
    EXPECT_FALSE(snapshot.Damaged());
    const std::optional<SettingsKey> sdk = snapshot.OpenKey("Software\\Morvek\\Sdk");
    ASSERT_TRUE(sdk);  // exists as the parent of the keys created below it
    EXPECT_EQ(sdk->SubkeyNames(), (std::vector<std::string>{"Camera_00", "Camera_01"}));
    EXPECT_TRUE(sdk->HasSubkey("Camera_01"));
    EXPECT_FALSE(sdk->HasSubkey("Camera_02"));
    ASSERT_TRUE(snapshot.OpenKey("Software"));
    EXPECT_FALSE(snapshot.OpenKey("Software\\Other"));

    const std::optional<SettingsKey> camera = sdk->OpenSubkey("Camera_00");
    ASSERT_TRUE(camera);
    uint32_t size = 0;
    EXPECT_TRUE(camera->QueryDword("Size", &size));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(camera->SubkeyNames(), std::vector<std::string>{"Gain"});
    const std::optional<SettingsKey> gain = camera->OpenSubkey("Gain");
    ASSERT_TRUE(gain);
    std::vector<uint8_t> read;
    EXPECT_TRUE(gain->QueryBinary("Blob", &read));
    EXPECT_EQ(read, blob);

    // Type and size must match; failed queries leave the output alone.
    uint32_t untouched = 77;
    EXPECT_FALSE(gain->QueryDword("Blob", &untouched));
    EXPECT_FALSE(camera->QueryDword("Missing", &untouched));
    EXPECT_EQ(untouched, 77u);
    std::array<uint8_t, 8> wrongSize{};
    EXPECT_FALSE(gain->QueryBinary("Blob", std::span<uint8_t>(wrongSize)));
    std::array<uint8_t, 4> rightSize{};
    EXPECT_TRUE(gain->QueryBinary("Blob", std::span<uint8_t>(rightSize)));
    EXPECT_EQ(rightSize[1], 0xff);
}

TEST_F(SettingsFileTest, FileIsRegistryEditorText) {
    SettingsTransaction save;
    save.CreateKey("Software\\Morvek\\Sdk");
    save.SetDword("Software\\Morvek\\Sdk\\Camera_00\\Gain", "ExposureMax", 0xABCDEF01u);
    save.SetDword("Software\\Morvek\\Sdk\\Camera_00", "Size", 0);
    save.SetDword("Software\\Morvek\\Sdk\\Camera_00", "Color", 2);
    save.SetBinary("Software\\Morvek\\Sdk\\Camera_00\\Gain", "ExposureEx",
                   std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xf0, 0x3f});
    save.SetDword("Software\\Morvek\\Sdk\\Camera_00", "Quote\"And\\Slash", 1);
    save.SetBinary("Software\\Morvek\\Sdk\\Camera_00", "Empty", {});
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(ReadText(file_), std::string(kHeaderLine) +
                                   "\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Morvek\\Sdk]\r\n"
                                   "\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Morvek\\Sdk\\Camera_00]\r\n"
                                   "\"Size\"=dword:00000000\r\n"
                                   "\"Color\"=dword:00000002\r\n"
                                   "\"Quote\\\"And\\\\Slash\"=dword:00000001\r\n"
                                   "\"Empty\"=hex:\r\n"
                                   "\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Morvek\\Sdk\\Camera_00\\Gain]\r\n"
                                   "\"ExposureMax\"=dword:abcdef01\r\n"
                                   "\"ExposureEx\"=hex:00,00,00,00,00,00,f0,3f\r\n"
                                   "\r\n");
    uint32_t escaped = 0;
    EXPECT_TRUE(OpenKeyForReading("Software\\Morvek\\Sdk\\Camera_00")->QueryDword("Quote\"And\\Slash", &escaped));
    EXPECT_EQ(escaped, 1u);
}

TEST_F(SettingsFileTest, LongBinaryValuesWrapAtEightyColumnsAndReadBack) {
    std::vector<uint8_t> blob(1000);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
    SettingsTransaction save;
    save.SetBinary("Software\\Wrapped", "Blob", blob);
    ASSERT_TRUE(save.Commit());
    std::istringstream lines(ReadText(file_));
    std::string line;
    int continued = 0;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 81u) << line;  // 80 characters and the '\r'
        if (line.starts_with("  ")) ++continued;
    }
    EXPECT_GT(continued, 10);
    std::vector<uint8_t> read;
    ASSERT_TRUE(OpenKeyForReading("Software\\Wrapped")->QueryBinary("Blob", &read));
    EXPECT_EQ(read, blob);
}

TEST_F(SettingsFileTest, KeysAndValueNamesCompareWithoutCaseAndKeepTheirSpelling) {
    SettingsTransaction first;
    first.SetDword("Software\\Morvek\\CamKey", "Size", 1);
    ASSERT_TRUE(first.Commit());
    SettingsTransaction second;
    second.SetDword("SOFTWARE\\morvek\\camkey", "SIZE", 2);
    second.SetDword("software\\MORVEK\\CAMKEY", "Other", 3);
    ASSERT_TRUE(second.Commit());

    const std::optional<SettingsKey> key = OpenKeyForReading("software\\MORVEK\\camKEY");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->Path(), "Software\\Morvek\\CamKey");
    EXPECT_EQ(key->ValueNames(), (std::vector<std::string>{"Size", "Other"}));
    EXPECT_EQ(Dword("Software\\Morvek\\CamKey", "size"), 2u);
    const std::string text = ReadText(file_);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Morvek\\CamKey]"), std::string::npos);
    EXPECT_EQ(text.find("CAMKEY"), std::string::npos);
}

TEST_F(SettingsFileTest, ReadsLfLineEndsByteOrderMarksAndWrappedValues) {
    WriteFile(
        "\xef\xbb\xbfWindows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Lf]\n"
        "; a comment\n"
        "\"A\"=dword:0000002a\n"
        "\"Wrapped\"=hex:01,02,\\\n"
        "  03,04\n"
        "@=\"default \\\"text\\\"\"\n"
        "\"Typed\"=hex(b):01,00,00,00,00,00,00,00\n");
    SettingsSnapshot snapshot = SettingsSnapshot::Load();
    EXPECT_FALSE(snapshot.Damaged());
    const std::optional<SettingsKey> key = snapshot.OpenKey("Software\\Lf");
    ASSERT_TRUE(key);
    uint32_t a = 0;
    EXPECT_TRUE(key->QueryDword("A", &a));
    EXPECT_EQ(a, 42u);
    std::vector<uint8_t> wrapped;
    EXPECT_TRUE(key->QueryBinary("Wrapped", &wrapped));
    EXPECT_EQ(wrapped, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(key->HasValue(""));

    // A save keeps the values it does not know how to use.
    SettingsTransaction save;
    save.SetDword("Software\\Lf", "B", 1);
    ASSERT_TRUE(save.Commit());
    const std::string text = ReadText(file_);
    EXPECT_NE(text.find("@=\"default \\\"text\\\"\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Typed\"=hex(b):01,00,00,00,00,00,00,00\r\n"), std::string::npos);

    // The registry editor's own UTF-16LE export.
    const std::string ascii = std::string(kHeaderLine) + "\r\n[HKEY_CURRENT_USER\\Software\\Wide]\r\n\"W\"=dword:00000007\r\n";
    std::string wide = "\xff\xfe";
    for (char c : ascii) {
        wide.push_back(c);
        wide.push_back('\0');
    }
    WriteFile(wide);
    EXPECT_EQ(Dword("Software\\Wide", "W"), 7u);
}

TEST_F(SettingsFileTest, DamagedFileKeepsEveryGoodKeyAndIsSetAsideBeforeTheNextSave) {
    const std::string damaged =
        "\"Orphan\"=dword:00000001\r\n"  // before any section, and no header
        "[HKEY_CURRENT_USER\\Software\\Good1]\r\n"
        "\"A\"=dword:00000001\r\n"
        "\"Short\"=dword:0001\r\n"
        "\"NotHex\"=dword:0000000g\r\n"
        "\"Open\"=hex:01,02,\r\n"
        "\"Unclosed=dword:00000001\r\n"
        "garbage \x01\x02 line\r\n"
        "\"Huge\"=hex:" + [] {
            std::string bytes;
            for (size_t i = 0; i <= vantix::kSettingsMaxValueBytes; ++i) bytes += "ab,";
            bytes.pop_back();
            return bytes;
        }() + "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Trunc\r\n"
        "\"Lost\"=dword:00000005\r\n"  // belongs to no readable section
        "[HKEY_CURRENT_USER\\Software\\Good2]\r\n"
        "\"B\"=hex:0a,0b\r\n"
        "\"Cut\"=hex:01,\\\r\n"
        "[HKEY_CURRENT_USER\\Software\\Good3]\r\n"
        "\"C\"=dword:00000003\r\n"
        "\"Last\"=dword:000000";  // cut short at the end of the file
    WriteFile(damaged);

    const SettingsSnapshot snapshot = SettingsSnapshot::Load();
    EXPECT_TRUE(snapshot.Damaged());
    const std::optional<SettingsKey> good1 = snapshot.OpenKey("Software\\Good1");
    ASSERT_TRUE(good1);
    EXPECT_EQ(good1->ValueNames(), std::vector<std::string>{"A"});
    EXPECT_FALSE(snapshot.OpenKey("Software\\Trunc"));
    std::vector<uint8_t> b;
    ASSERT_TRUE(snapshot.OpenKey("Software\\Good2") && snapshot.OpenKey("Software\\Good2")->QueryBinary("B", &b));
    EXPECT_EQ(b, (std::vector<uint8_t>{0x0a, 0x0b}));
    EXPECT_FALSE(snapshot.OpenKey("Software\\Good2")->HasValue("Cut"));
    ASSERT_TRUE(snapshot.OpenKey("Software\\Good3"));
    EXPECT_EQ(snapshot.OpenKey("Software\\Good3")->ValueNames(), std::vector<std::string>{"C"});

    SettingsTransaction save;
    save.SetDword("Software\\New", "N", 9);
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(Dword("Software\\Good1", "A"), 1u);
    EXPECT_EQ(Dword("Software\\Good3", "C"), 3u);
    EXPECT_EQ(Dword("Software\\New", "N"), 9u);
    EXPECT_FALSE(SettingsSnapshot::Load().Damaged());
    EXPECT_TRUE(ReadText(file_).starts_with(kHeaderLine));

    const std::vector<fs::path> aside = FilesStartingWith("registry.reg.damaged-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadText(aside[0]), damaged);

    // The repaired file is not set aside again.
    SettingsTransaction again;
    again.SetDword("Software\\New", "N", 10);
    ASSERT_TRUE(again.Commit());
    EXPECT_EQ(FilesStartingWith("registry.reg.damaged-").size(), 1u);
}

TEST_F(SettingsFileTest, OversizedFileIsReadUpToTheLimit) {
    std::string text = std::string(kHeaderLine) + "[HKEY_CURRENT_USER\\Software\\Early]\r\n\"A\"=dword:00000001\r\n";
    const std::string filler = ";" + std::string(1000, '-') + "\r\n";  // comments: only the size is wrong
    while (text.size() <= vantix::kSettingsMaxFileBytes) text += filler;
    WriteFile(text);
    const SettingsSnapshot snapshot = SettingsSnapshot::Load();
    EXPECT_TRUE(snapshot.Damaged());
    EXPECT_TRUE(snapshot.OpenKey("Software\\Early"));
}

TEST_F(SettingsFileTest, MissingOrUnusableLocationsHaveNoKeysAndSavesFail) {
    EXPECT_FALSE(OpenKeyForReading("Software"));
    EXPECT_FALSE(SettingsSnapshot::Load().Damaged());

    // The settings path lies below a regular file: nothing can be created.
    fs::create_directories(directory_);
    WriteText(directory_ / "plain", "x");
    setenv(vantix::kSettingsFileVariable, (directory_ / "plain" / "registry.reg").c_str(), 1);
    SettingsTransaction blocked;
    blocked.SetDword("Software\\A", "A", 1);
    EXPECT_FALSE(blocked.Commit());
    EXPECT_FALSE(OpenKeyForReading("Software\\A"));

    // A settings path that is a directory cannot be read, so it is not replaced.
    fs::create_directories(directory_ / "dir.reg");
    setenv(vantix::kSettingsFileVariable, (directory_ / "dir.reg").c_str(), 1);
    SettingsTransaction unreadable;
    unreadable.SetDword("Software\\A", "A", 1);
    EXPECT_FALSE(unreadable.Commit());
    EXPECT_TRUE(fs::is_directory(directory_ / "dir.reg"));
}

TEST_F(SettingsFileTest, RejectsNamesThatCannotBeStored) {
    SettingsTransaction save;
    EXPECT_FALSE(save.CreateKey(""));
    EXPECT_FALSE(save.CreateKey("Software\\\\Double"));
    EXPECT_FALSE(save.CreateKey("Software\\Trailing\\"));
    EXPECT_FALSE(save.SetDword("Software\\A", "Line\nBreak", 1));
    EXPECT_FALSE(save.SetDword("Software\\Line\rBreak", "A", 1));
    EXPECT_FALSE(save.SetBinary("Software\\A", "Big", std::vector<uint8_t>(vantix::kSettingsMaxValueBytes + 1)));
    EXPECT_TRUE(save.SetDword("Software\\A", "Fine", 1));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(OpenKeyForReading("Software\\A")->ValueNames(), std::vector<std::string>{"Fine"});
}

TEST_F(SettingsFileTest, DeletesAndFirstUseConditionApplyAtCommit) {
    SettingsTransaction setup;
    setup.SetDword("Software\\Tree\\Child\\Grandchild", "G", 1);
    setup.SetDword("Software\\Tree", "Keep", 1);
    setup.SetDword("Software\\Tree", "Drop", 2);
    setup.SetDword("Software\\TreeSibling", "S", 1);
    ASSERT_TRUE(setup.Commit());

    SettingsTransaction remove;
    remove.DeleteKey("Software\\Tree\\Child");
    remove.DeleteValue("Software\\Tree", "drop");
    ASSERT_TRUE(remove.Commit());
    EXPECT_FALSE(OpenKeyForReading("Software\\Tree\\Child"));
    EXPECT_EQ(OpenKeyForReading("Software\\Tree")->ValueNames(), std::vector<std::string>{"Keep"});
    EXPECT_EQ(Dword("Software\\TreeSibling", "S"), 1u);  // a name prefix is not a subkey

    SettingsTransaction firstUse;
    firstUse.RequireMissingKey("Software\\Tree");
    firstUse.SetDword("Software\\Tree", "Keep", 99);
    EXPECT_FALSE(firstUse.Commit());
    EXPECT_EQ(Dword("Software\\Tree", "Keep"), 1u);
}

TEST_F(SettingsFileTest, PathFollowsXdgConfigHome) {
    unsetenv(vantix::kSettingsFileVariable);
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = savedXdg != nullptr ? savedXdg : "";
    setenv("XDG_CONFIG_HOME", directory_.c_str(), 1);
    EXPECT_EQ(vantix::SettingsFilePath(), (directory_ / "vantix" / "registry.reg").string());
    SettingsTransaction save;
    save.SetDword("Software\\X", "X", 1);
    EXPECT_TRUE(save.Commit());
    EXPECT_TRUE(fs::is_regular_file(directory_ / "vantix" / "registry.reg"));
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // ignored: not absolute
    EXPECT_TRUE(vantix::SettingsFilePath().ends_with("/.config/vantix/registry.reg"));
    if (savedXdg != nullptr) {
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST_F(SettingsFileTest, ConcurrentSavesFromTwoProcessesKeepBothKeys) {
    constexpr uint32_t kSaves = 200;
    std::vector<pid_t> children;
    for (int camera = 1; camera <= 2; ++camera) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string key = "Software\\Sdk\\Camera_0" + std::to_string(camera);
            for (uint32_t i = 1; i <= kSaves; ++i) {
                SettingsTransaction save;
                save.SetDword(key, "Counter", i);
                save.SetDword(key, "Twice", 2 * i);
                if (!save.Commit()) _exit(2);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // A lost update would leave a camera behind its last save.
    for (const char* key : {"Software\\Sdk\\Camera_01", "Software\\Sdk\\Camera_02"}) {
        EXPECT_EQ(Dword(key, "Counter"), kSaves) << key;
        EXPECT_EQ(Dword(key, "Twice"), 2 * kSaves) << key;
    }
    EXPECT_FALSE(SettingsSnapshot::Load().Damaged());
}

TEST_F(SettingsFileTest, SaverKilledMidSaveLeavesTheOldOrTheNewFile) {
    SettingsTransaction initial;
    initial.SetDword("Software\\Stable", "S", 5);
    ASSERT_TRUE(initial.Commit());
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (uint32_t i = 0;; ++i) {
                SettingsTransaction save;
                save.SetDword("Software\\Busy", "Counter", i);
                // Large enough that a half-written file would show.
                save.SetBinary("Software\\Busy", "Fill", std::vector<uint8_t>(64 * 1024, static_cast<uint8_t>(i)));
                save.Commit();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 700 * round));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        const SettingsSnapshot snapshot = SettingsSnapshot::Load();
        ASSERT_FALSE(snapshot.Damaged()) << "round " << round;
        const std::optional<SettingsKey> stable = snapshot.OpenKey("Software\\Stable");
        ASSERT_TRUE(stable);
        uint32_t s = 0;
        EXPECT_TRUE(stable->QueryDword("S", &s));
        EXPECT_EQ(s, 5u);
        if (const std::optional<SettingsKey> busy = snapshot.OpenKey("Software\\Busy")) {
            uint32_t counter = 0;
            std::vector<uint8_t> fill;
            ASSERT_TRUE(busy->QueryDword("Counter", &counter));
            ASSERT_TRUE(busy->QueryBinary("Fill", &fill));
            ASSERT_EQ(fill.size(), 64u * 1024);
            EXPECT_EQ(fill.front(), static_cast<uint8_t>(counter));
            EXPECT_EQ(fill.back(), static_cast<uint8_t>(counter));
        }
    }
    // The lock died with the saver; the next save goes through and removes
    // the half-written temporaries the killed savers left.
    SettingsTransaction after;
    after.SetDword("Software\\Stable", "S", 6);
    EXPECT_TRUE(after.Commit());
    EXPECT_EQ(Dword("Software\\Stable", "S"), 6u);
    std::vector<std::string> left;
    for (const fs::path& path : FilesStartingWith(".vantix-")) {
        if (path.extension() == ".tmp") left.push_back(path.filename().string());
    }
    EXPECT_TRUE(left.empty()) << left.front();
}

// Files that are not the saver's own are never written through: a link
// planted under the old fixed temporary name or as the lock file.
TEST_F(SettingsFileTest, SavesNeverWriteThroughPlantedLinks) {
    SettingsTransaction initial;
    initial.SetDword("Software\\A", "A", 1);
    ASSERT_TRUE(initial.Commit());
    const fs::path victim = directory_ / "victim.txt";
    WriteText(victim, "someone else's file");
    fs::permissions(victim, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(victim, file_.string() + ".tmp");

    SettingsTransaction save;
    save.SetDword("Software\\A", "A", 2);
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(ReadText(victim), "someone else's file");
    EXPECT_EQ(fs::status(victim).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file_)));
    EXPECT_TRUE(fs::is_symlink(file_.string() + ".tmp"));
    EXPECT_EQ(Dword("Software\\A", "A"), 2u);

    // A lock file that is a link is not followed: the save fails and creates nothing.
    const fs::path lock = file_.string() + ".lock";
    fs::remove(lock);
    const fs::path elsewhere = directory_ / "created-elsewhere";
    fs::create_symlink(elsewhere, lock);
    SettingsTransaction locked;
    locked.SetDword("Software\\A", "A", 3);
    EXPECT_FALSE(locked.Commit());
    EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere)));
    EXPECT_EQ(Dword("Software\\A", "A"), 2u);
}

// A read-only settings file stays as it is (also for the superuser, who may
// write anything); a settings path that is a link is written through, and a
// dangling link gets its target created.
TEST_F(SettingsFileTest, ReadOnlyFilesAndLinkedSettingsPaths) {
    SettingsTransaction initial;
    initial.SetDword("Software\\A", "A", 1);
    ASSERT_TRUE(initial.Commit());
    const std::string before = ReadText(file_);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    SettingsTransaction refused;
    refused.SetDword("Software\\A", "A", 2);
    EXPECT_FALSE(refused.Commit());
    EXPECT_EQ(ReadText(file_), before);
    EXPECT_EQ(fs::status(file_).permissions(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const fs::path targets = directory_ / "targets";
    fs::create_directories(targets);
    const fs::path link = directory_ / "config" / "linked.reg";
    fs::create_symlink("../targets/settings.reg", link);  // relative to the link's folder, not yet there
    setenv(vantix::kSettingsFileVariable, link.c_str(), 1);
    SettingsTransaction throughLink;
    throughLink.SetDword("Software\\B", "B", 7);
    ASSERT_TRUE(throughLink.Commit());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(targets / "settings.reg")));
    EXPECT_EQ(Dword("Software\\B", "B"), 7u);
    SettingsTransaction again;  // now an existing target: replaced where it lives
    again.SetDword("Software\\B", "B", 8);
    ASSERT_TRUE(again.Commit());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Dword("Software\\B", "B"), 8u);

    // A loop of links cannot be saved through.
    const fs::path loop = directory_ / "config" / "loop.reg";
    fs::create_symlink(loop, loop);
    setenv(vantix::kSettingsFileVariable, loop.c_str(), 1);
    SettingsTransaction looped;
    looped.SetDword("Software\\C", "C", 1);
    EXPECT_FALSE(looped.Commit());
    EXPECT_TRUE(fs::is_symlink(loop));
}

// Crafted files once took minutes: each deletion of a value rebuilt the key's
// index, and each continuation line of a wrapped value re-parsed the value
// from its start. The bounds are generous; linear parsing takes milliseconds.
TEST_F(SettingsFileTest, CraftedFilesParseInLinearTime) {
    constexpr size_t kTargetBytes = size_t{1} << 20;
    const auto secondsToLoad = [&](const std::string& text) {
        WriteFile(text);
        const auto start = std::chrono::steady_clock::now();
        const SettingsSnapshot snapshot = SettingsSnapshot::Load();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(snapshot.Damaged());
        return took.count();
    };

    // Values, then pairs of a value and its deletion.
    std::string deletions = std::string(kHeaderLine) + "\r\n[HKEY_CURRENT_USER\\Software\\Crafted]\r\n";
    const size_t values = kTargetBytes / 52;
    for (size_t i = 0; i < values; ++i) deletions += "\"v" + std::to_string(i) + "\"=dword:00000001\r\n";
    for (size_t i = 0; i < values; ++i) deletions += "\"z\"=dword:00000002\r\n\"z\"=-\r\n";
    ASSERT_GE(deletions.size(), kTargetBytes - 64 * 1024);
    EXPECT_LT(secondsToLoad(deletions), 5.0);
    const std::optional<SettingsKey> crafted = OpenKeyForReading("Software\\Crafted");
    ASSERT_TRUE(crafted);
    EXPECT_EQ(crafted->ValueNames().size(), values);
    EXPECT_FALSE(crafted->HasValue("z"));
    EXPECT_EQ(Dword("Software\\Crafted", "v" + std::to_string(values - 1)), 1u);

    // A long value name, then a wrapped hex value of many continuation lines.
    std::string wrapped = std::string(kHeaderLine) + "\r\n[HKEY_CURRENT_USER\\Software\\Wrapped]\r\n\"" +
                          std::string(vantix::kSettingsMaxNameLength, 'n') + "\"=hex:01,\\\r\n";
    std::string line = " ";
    for (int i = 0; i < 25; ++i) line += " 02,";
    line += "\\\r\n";
    size_t bytes = 1;
    while (wrapped.size() < kTargetBytes) {
        wrapped += line;
        bytes += 25;
    }
    wrapped += "  03\r\n";
    ++bytes;
    EXPECT_LT(secondsToLoad(wrapped), 5.0);
    std::vector<uint8_t> data;
    ASSERT_TRUE(OpenKeyForReading("Software\\Wrapped")->QueryBinary(std::string(vantix::kSettingsMaxNameLength, 'n'), &data));
    ASSERT_EQ(data.size(), bytes);
    EXPECT_EQ(data.front(), 1);
    EXPECT_EQ(data[1], 2);
    EXPECT_EQ(data.back(), 3);
}

}  // namespace
