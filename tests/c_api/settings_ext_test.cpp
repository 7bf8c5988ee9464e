// The settings-store calls of <vantix/linux_ext.h>: the file's path, a key's
// text, export, import and delete, and that a refused import or a failed write
// never changes what is stored.
#include <gtest/gtest.h>
#include <vantix/linux_ext.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kRoot = "[HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk";
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

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

// A store with two cameras, the first with a subkey and a string value.
std::string TwoCameraStore() {
    return kHeader + kRoot + "]\r\n\r\n" + kRoot + "\\Camera_00]\r\n\"Size\"=dword:00000003\r\n\r\n" + kRoot +
           "\\Camera_00\\Gain]\r\n\"Global\"=dword:0000004d\r\n\"ExposureEx\"=hex:00,00,00,00,00,00,f0,3f\r\n"
           "\"Note\"=\"lab bench\"\r\n\r\n" +
           kRoot + "\\Camera_01]\r\n\"Size\"=dword:00000001\r\n\r\n";
}

std::string KeyText(const char* key) {
    const int32_t needed = VantixExt_GetSettingsText(key, nullptr, 0);
    if (needed <= 0) return "<" + std::to_string(needed) + ">";
    std::vector<char> buffer(static_cast<size_t>(needed));
    EXPECT_EQ(VantixExt_GetSettingsText(key, buffer.data(), needed), needed);
    return buffer.data();
}

// Points VANTIX_REGISTRY at a folder of the test's own.
class SettingsExtTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("VANTIX_REGISTRY");
        if (previous != nullptr) previous_ = previous;
        directory_ = fs::temp_directory_path() /
                     ("vantix-settings-ext-" + std::to_string(getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        store_ = directory_ / "registry.reg";
        setenv("VANTIX_REGISTRY", store_.c_str(), 1);
    }
    void TearDown() override {
        if (previous_.empty()) {
            unsetenv("VANTIX_REGISTRY");
        } else {
            setenv("VANTIX_REGISTRY", previous_.c_str(), 1);
        }
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
    fs::path directory_;
    fs::path store_;
    std::string previous_;
};

TEST_F(SettingsExtTest, PathIsCopiedOnlyWhenItFits) {
    const std::string path = store_.string();
    const auto needed = static_cast<int32_t>(path.size() + 1);
    EXPECT_EQ(VantixExt_GetSettingsPath(nullptr, 0), needed);

    std::vector<char> exact(path.size() + 1, 'x');
    EXPECT_EQ(VantixExt_GetSettingsPath(exact.data(), needed), needed);
    EXPECT_EQ(std::string(exact.data()), path);

    // One byte short: nothing of the path, an empty string, and the size needed.
    std::vector<char> shorter(path.size(), 'x');
    EXPECT_EQ(VantixExt_GetSettingsPath(shorter.data(), needed - 1), needed);
    EXPECT_EQ(shorter[0], '\0');

    EXPECT_EQ(VantixExt_GetSettingsPath(nullptr, 10), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(VantixExt_GetSettingsPath(exact.data(), -1), VANTIX_SETTINGS_ERROR_ARGUMENT);
}

TEST_F(SettingsExtTest, KeyTextHoldsTheKeyAndItsSubkeysOnly) {
    WriteText(store_, TwoCameraStore());
    const std::string text = KeyText("Camera_00");
    EXPECT_EQ(text.rfind(kHeader, 0), 0u) << text;
    EXPECT_NE(text.find("\\Camera_00]\r\n\"Size\"=dword:00000003"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Note\"=\"lab bench\""), std::string::npos) << text;
    EXPECT_EQ(text.find("Camera_01"), std::string::npos) << text;
    // Names compare without regard to case, as in the registry.
    EXPECT_EQ(KeyText("camera_00"), text);
    // The whole SDK key holds both cameras.
    EXPECT_NE(KeyText(nullptr).find("Camera_01"), std::string::npos);

    std::vector<char> small(8, 'x');
    EXPECT_EQ(VantixExt_GetSettingsText("Camera_00", small.data(), 8), static_cast<int32_t>(text.size() + 1));
    EXPECT_EQ(small[0], '\0');

    EXPECT_EQ(VantixExt_GetSettingsText("Camera_07", nullptr, 0), VANTIX_SETTINGS_ERROR_NO_KEY);
    EXPECT_EQ(VantixExt_GetSettingsText("Camera_00\\\\Gain", nullptr, 0), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(VantixExt_GetSettingsText("Camera_00", nullptr, 4), VANTIX_SETTINGS_ERROR_ARGUMENT);
}

TEST_F(SettingsExtTest, ExportDeleteImportRestoresTheCamera) {
    WriteText(store_, TwoCameraStore());
    const std::string before = KeyText("Camera_00");
    const fs::path exported = directory_ / "camera0.reg";
    ASSERT_EQ(VantixExt_ExportSettings("Camera_00", exported.c_str()), 1);
    EXPECT_EQ(ReadText(exported), before);

    EXPECT_EQ(VantixExt_DeleteSettingsKey("Camera_00"), 1);
    EXPECT_EQ(VantixExt_GetSettingsText("Camera_00", nullptr, 0), VANTIX_SETTINGS_ERROR_NO_KEY);
    EXPECT_EQ(VantixExt_GetSettingsText("Camera_00\\Gain", nullptr, 0), VANTIX_SETTINGS_ERROR_NO_KEY);
    // Deleting again finds nothing and writes nothing.
    const std::string afterDelete = ReadText(store_);
    EXPECT_EQ(VantixExt_DeleteSettingsKey("Camera_00"), 0);
    EXPECT_EQ(ReadText(store_), afterDelete);

    ASSERT_EQ(VantixExt_ImportSettings(exported.c_str()), 1);
    EXPECT_EQ(KeyText("Camera_00"), before);
    EXPECT_NE(KeyText("Camera_01").find("\"Size\"=dword:00000001"), std::string::npos);
}

TEST_F(SettingsExtTest, ImportMergesIntoWhatIsStored) {
    WriteText(store_, TwoCameraStore());
    const fs::path file = directory_ / "gain.reg";
    WriteText(file, kHeader + kRoot + "\\Camera_00\\Gain]\r\n\"Global\"=dword:00000010\r\n\r\n");
    ASSERT_EQ(VantixExt_ImportSettings(file.c_str()), 1);
    const std::string text = KeyText("Camera_00");
    EXPECT_NE(text.find("\"Global\"=dword:00000010"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Note\"=\"lab bench\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Size\"=dword:00000003"), std::string::npos) << text;
}

TEST_F(SettingsExtTest, RefusedImportsLeaveTheStoreAsItWas) {
    WriteText(store_, TwoCameraStore());
    const std::string stored = ReadText(store_);
    const std::string camera = kRoot + "\\Camera_00]\r\n\"Size\"=dword:00000009\r\n";
    struct Case {
        const char* what;
        std::string text;
        int32_t expected;
        int32_t line;  // the line at fault, 0: none
        std::string shown;
    };
    const std::string otherKey = "[HKEY_CURRENT_USER\\Software\\Other]";
    const std::string besideRoot = "[HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9SdkOld]";
    const std::string deletion = "[-HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk\\Camera_01]";
    const std::vector<Case> cases = {
        {"cut short", kHeader + camera + "\"Global\"=dword:000", VANTIX_SETTINGS_ERROR_FORMAT, 5,
         "\"Global\"=dword:000"},
        {"unreadable line", kHeader + camera + "Global=64\r\n", VANTIX_SETTINGS_ERROR_FORMAT, 5, "Global=64"},
        {"no header", camera + "\r\n", VANTIX_SETTINGS_ERROR_FORMAT, 1, kRoot + "\\Camera_00]"},
        {"empty", "", VANTIX_SETTINGS_ERROR_FORMAT, 0, ""},
        {"deletes a key", kHeader + camera + "\r\n" + deletion + "\r\n", VANTIX_SETTINGS_ERROR_FORMAT, 6, deletion},
        {"deletes a value", kHeader + camera + "\"Clock\"=-\r\n", VANTIX_SETTINGS_ERROR_FORMAT, 5, "\"Clock\"=-"},
        {"foreign key", kHeader + camera + "\r\n" + otherKey + "\r\n\"A\"=dword:00000001\r\n",
         VANTIX_SETTINGS_ERROR_FORMAT, 6, otherKey},
        {"key beside the root", kHeader + besideRoot + "\r\n", VANTIX_SETTINGS_ERROR_FORMAT, 3, besideRoot},
    };
    for (const Case& c : cases) {
        const fs::path file = directory_ / "import.reg";
        WriteText(file, c.text);
        EXPECT_EQ(VantixExt_ImportSettings(file.c_str()), c.expected) << c.what;
        EXPECT_EQ(ReadText(store_), stored) << c.what;
        // The check names the line to mend.
        int32_t line = -1;
        char shown[512] = "x";
        EXPECT_EQ(VantixExt_CheckSettingsFile(file.c_str(), &line, shown, sizeof shown), c.expected) << c.what;
        EXPECT_EQ(line, c.line) << c.what;
        EXPECT_EQ(std::string(shown), c.shown) << c.what;
    }
    // A good file passes the check and nothing is cut beyond the buffer.
    const fs::path good = directory_ / "good.reg";
    WriteText(good, kHeader + camera);
    EXPECT_EQ(VantixExt_CheckSettingsFile(good.c_str(), nullptr, nullptr, 0), 1);
    WriteText(good, kHeader + camera + "Global=64\r\n");
    char tiny[4] = "xyz";
    EXPECT_EQ(VantixExt_CheckSettingsFile(good.c_str(), nullptr, tiny, sizeof tiny), VANTIX_SETTINGS_ERROR_FORMAT);
    EXPECT_EQ(std::string(tiny), "Glo");
    EXPECT_EQ(VantixExt_CheckSettingsFile(good.c_str(), nullptr, tiny, -1), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(VantixExt_ImportSettings((directory_ / "missing.reg").c_str()), VANTIX_SETTINGS_ERROR_READ);
    EXPECT_EQ(VantixExt_ImportSettings(directory_.c_str()), VANTIX_SETTINGS_ERROR_READ);
    EXPECT_EQ(VantixExt_ImportSettings(nullptr), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(VantixExt_ImportSettings(""), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(ReadText(store_), stored);
}

TEST_F(SettingsExtTest, FailedWritesChangeNothing) {
    WriteText(store_, TwoCameraStore());
    // Export: a missing key creates no file, a folder is not replaced.
    const fs::path missing = directory_ / "none.reg";
    EXPECT_EQ(VantixExt_ExportSettings("Camera_05", missing.c_str()), VANTIX_SETTINGS_ERROR_NO_KEY);
    EXPECT_FALSE(fs::exists(missing));
    const fs::path folder = directory_ / "folder";
    fs::create_directories(folder);
    EXPECT_EQ(VantixExt_ExportSettings("Camera_00", folder.c_str()), VANTIX_SETTINGS_ERROR_WRITE);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(VantixExt_ExportSettings("Camera_00", (directory_ / "no" / "such" / "dir.reg").c_str()),
              VANTIX_SETTINGS_ERROR_WRITE);
    EXPECT_EQ(VantixExt_ExportSettings("Camera_00", nullptr), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(VantixExt_DeleteSettingsKey(nullptr), VANTIX_SETTINGS_ERROR_ARGUMENT);
    EXPECT_EQ(VantixExt_DeleteSettingsKey(""), VANTIX_SETTINGS_ERROR_ARGUMENT);
    // Only the new file and the store's lock are left: no temporary files.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "registry.reg"}));

    // Import into a store whose folder cannot be made (a file is in the way).
    const fs::path good = directory_ / "good.reg";
    ASSERT_EQ(VantixExt_ExportSettings("Camera_00", good.c_str()), 1);
    const fs::path blocked = directory_ / "blocker" / "registry.reg";
    WriteText(directory_ / "blocker", "not a folder");
    setenv("VANTIX_REGISTRY", blocked.c_str(), 1);
    EXPECT_EQ(VantixExt_ImportSettings(good.c_str()), VANTIX_SETTINGS_ERROR_WRITE);
    EXPECT_EQ(ReadText(directory_ / "blocker"), "not a folder");
}

}  // namespace
