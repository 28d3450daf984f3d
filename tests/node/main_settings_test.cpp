// The main window's remembered values and its node state texts.
#include "node/main_settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <memory>
#include <string>

#include "gui/settings_store.h"
#include "gui_support/gui_test_support.h"
#include "node/node_status.h"

namespace {

class MainSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        store = OpenSettings();
        ASSERT_NE(store, nullptr);
    }
    QString stored(const char* key) const { return store->value(QLatin1String(key)).toString(); }

    std::unique_ptr<QSettings> store;
};

TEST_F(MainSettingsTest, EmptyStoreGivesDefaultsAndWritesEveryKey) {
    EXPECT_EQ(LoadMainSettings(store.get()), MainSettings{});
    EXPECT_EQ(LoadMainSettings(nullptr), MainSettings{});
    const std::pair<const char*, const char*> defaults[] = {
        {"nodeid", "40"},  {"readindex", "1000"},     {"readsubindex", "00"},  {"readstore", "0"},
        {"readpath", ""},  {"writeindex", "1000"},    {"writesubindex", "00"}, {"writeenter", "1"},
        {"writepath", ""}, {"writedata", "1A2B3C4D"}, {"writebase", "0"},      {"writelength", ""},
        {"allnodes", "0"}, {"usepennorak", "1"},
    };
    EXPECT_EQ(store->allKeys().size(), static_cast<int>(std::size(defaults)));
    for (const auto& [key, text] : defaults) EXPECT_EQ(stored(key), text) << key;
}

// A value of the wrong kind takes the default, which is written back.
TEST_F(MainSettingsTest, UnusableValuesAreReplacedByTheDefault) {
    const std::pair<const char*, const char*> cases[] = {
        {"nodeid", "abc"},  {"nodeid", ""},         {"writebase", "x"},
        {"writebase", "7"}, {"readstore", "maybe"}, {"writeenter", "2"},
    };
    for (const auto& [key, value] : cases) {
        SCOPED_TRACE(std::string(key) + "=" + value);
        guitest::clearSettings();
        store->setValue(QLatin1String(key), QLatin1String(value));
        EXPECT_EQ(LoadMainSettings(store.get()), MainSettings{});
        EXPECT_NE(stored(key), QLatin1String(value));
    }
}

TEST_F(MainSettingsTest, SaveThenLoadRoundTripsEveryField) {
    const MainSettings saved{127,
                             "2000",
                             "0A",
                             true,
                             "/tmp/read, with comma.bin",
                             "6000",
                             "01",
                             false,
                             "/tmp/write.bin",
                             "Hello, world",
                             2,
                             "12",
                             true,
                             false};
    SaveMainSettings(store.get(), saved);
    store = OpenSettings();  // a fresh reader of the same file
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(LoadMainSettings(store.get()), saved);
}

// A comma typed into the settings file by hand makes the INI reader see a
// list; the text still reads back whole.
TEST_F(MainSettingsTest, HandWrittenTextWithCommaReadsWhole) {
    const QString path = store->fileName();
    store.reset();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\nwritedata=a,b\nnodeid=5\n");
    file.close();
    store = OpenSettings();
    ASSERT_NE(store, nullptr);
    const MainSettings v = LoadMainSettings(store.get());
    EXPECT_EQ(v.writedata, "a,b");
    EXPECT_EQ(v.nodeid, 5);
}

TEST(NodeStatusTest, NodeStateTexts) {
    EXPECT_EQ(NodeStateText(2), "Pre-Operational");
    EXPECT_EQ(NodeStateText(5), "Unknown");
}

}  // namespace
