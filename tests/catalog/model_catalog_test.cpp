#include "catalog/model_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "catalog/library_model.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

TEST(ModelCatalog, NamesPrintTheInstanceWithTwoDigits) {
    char name[40];
    ASSERT_TRUE(FormatDeviceName(0x3040, 3, name, sizeof name));
    EXPECT_STREQ(name, "Vantix-Q720LX-USB3-K9_03");
    ASSERT_TRUE(FormatDeviceName(0x3130, 12, name, sizeof name));
    EXPECT_STREQ(name, "VtxCnv-Q112_12");
    EXPECT_FALSE(FormatDeviceName(0x3150, 0, name, sizeof name));
    EXPECT_STREQ(name, "");
    EXPECT_FALSE(FormatDeviceName(0x3040, -1, name, sizeof name));
}

TEST(ModelCatalog, TooSmallBufferIsRefusedWithoutWritingBeyondIt) {
    constexpr std::string_view kExpected = "Vantix-Q720LX-USB3-K9_03";
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(FormatDeviceName(0x3040, 3, buffer, kExpected.size()));
    EXPECT_EQ(buffer[0], '\0');
    for (size_t i = kExpected.size(); i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
    EXPECT_TRUE(FormatDeviceName(0x3040, 3, buffer, kExpected.size() + 1));
    EXPECT_EQ(std::string_view(buffer), kExpected);
    EXPECT_EQ(buffer[kExpected.size() + 1], '#');
    EXPECT_FALSE(FormatDeviceName(0x3040, 3, nullptr, 40));
}

TEST(ModelCatalog, LookupGivesTheRowOrTheGenericSensor) {
    const ModelRow& generic = LookupModel(0x1234);
    EXPECT_EQ(FindModel(0x1234), nullptr);
    EXPECT_EQ(generic.sensorClass, SensorClass::MT9F001);
    EXPECT_STREQ(SensorClassName(generic.sensorClass), "CSensorMT9F001");
    EXPECT_EQ(generic.busAddress, 32);
    EXPECT_EQ(generic.nameFormat, nullptr);
    EXPECT_FALSE(generic.variantCode.has_value());
    const ModelRow& probed = LookupModel(0x3020);
    EXPECT_EQ(probed.sensorClass, SensorClass::MT9F002);
    EXPECT_EQ(probed.probedAlternative, SensorClass::MT9F001);
    EXPECT_EQ(LookupModel(0x3030).busAddress, 144);
    EXPECT_STREQ(SensorClassName(LookupModel(0x31C4).sensorClass), "CSensorIMX252");
    EXPECT_EQ(LookupModel(0x3220).variantCode, 105);
    EXPECT_FALSE(LookupModel(0x31B4).variantCode.has_value());
}

// The name formats go to printf with one int: a stray conversion would read
// an argument that is not there.
TEST(ModelCatalog, IdsAreUniqueAndNameFormatsTakeOneInstance) {
    std::set<uint16_t> ids;
    for (const ModelRow& model : AllModels()) {
        EXPECT_TRUE(ids.insert(model.modelId).second) << std::hex << model.modelId;
        if (model.nameFormat == nullptr) continue;
        const std::string_view format = model.nameFormat;
        EXPECT_EQ(std::count(format.begin(), format.end(), '%'), 1) << format;
        EXPECT_NE(format.find("%02d"), std::string_view::npos) << format;
    }
    EXPECT_EQ(ids.size(), 40u);
}

// Every class has its own display name: the names are written out by hand.
TEST(ModelCatalog, SensorClassNamesAreDistinct) {
    std::set<std::string> names;
    for (int i = 0; i < kSensorClassCount; ++i) {
        const std::string name = SensorClassName(static_cast<SensorClass>(i));
        EXPECT_EQ(name.rfind("CSensor", 0), 0u) << name;
        EXPECT_TRUE(names.insert(name).second) << name;
    }
}

// The session, the settings and the mask are laid out for the library's own
// model; its sensor's record must say the same.
TEST(ModelCatalog, LibraryModelFactsAgreeWithItsSensor) {
    EXPECT_EQ(LookupModel(kLibraryModelId).sensorClass, SensorClass::MT9J001);
    const auto sensor = MakeSensorMT9J001(nullptr, 0x20);
    EXPECT_EQ(sensor->Info().maxWidth, kLibrarySensorWidth);
    EXPECT_EQ(sensor->Info().maxHeight, kLibrarySensorHeight);
    EXPECT_EQ(sensor->Info().defaultWidth, kLibraryDefaultWidth);
    EXPECT_EQ(sensor->Info().defaultHeight, kLibraryDefaultHeight);
}

}  // namespace
}  // namespace vantix
