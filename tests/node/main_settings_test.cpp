// The main window's remembered values and its node texts.
#include "node/main_settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <map>
#include <memory>
#include <string>

#include "app/settings_store.h"
#include "gui_test_support.h"
#include "node/node_status.h"

namespace {

// A loaded field in the form the store keeps it (booleans as 0/1).
QString AsStored(const MainSettings& v, const std::string& key) {
    const auto flag = [](bool on) { return QString::number(on ? 1 : 0); };
    const std::map<std::string, QString> fields = {
        {"nodeid", QString::number(v.nodeid)},
        {"readindex", v.readindex},
        {"readsubindex", v.readsubindex},
        {"readstore", flag(v.readstore)},
        {"readpath", v.readpath},
        {"writeindex", v.writeindex},
        {"writesubindex", v.writesubindex},
        {"writeenter", flag(v.writeenter)},
        {"writepath", v.writepath},
        {"writedata", v.writedata},
        {"writebase", QString::number(v.writebase)},
        {"writelength", v.writelength},
        {"allnodes", flag(v.allnodes)},
        {"usepennorak", flag(v.usepennorak)},
    };
    return fields.at(key);
}

// Every key with its default as stored.
const std::pair<const char*, const char*> kDefaults[] = {
    {"nodeid", "40"},  {"readindex", "1000"},     {"readsubindex", "00"},  {"readstore", "0"},
    {"readpath", ""},  {"writeindex", "1000"},    {"writesubindex", "00"}, {"writeenter", "1"},
    {"writepath", ""}, {"writedata", "1A2B3C4D"}, {"writebase", "0"},      {"writelength", ""},
    {"allnodes", "0"}, {"usepennorak", "1"},
};

void ExpectDefaults(const MainSettings& v) {
    for (const auto& [key, text] : kDefaults) EXPECT_EQ(AsStored(v, key), text) << key;
}

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
    ExpectDefaults(LoadMainSettings(store.get()));
    for (const auto& [key, text] : kDefaults) {
        EXPECT_TRUE(store->contains(QLatin1String(key))) << key;
        EXPECT_EQ(stored(key), text) << key;
    }
    EXPECT_EQ(store->allKeys().size(), static_cast<int>(std::size(kDefaults)));
}

TEST_F(MainSettingsTest, NoStoreGivesDefaults) {
    ExpectDefaults(LoadMainSettings(nullptr));
}

// One stored value at a time: what is loaded and what the store holds after.
TEST_F(MainSettingsTest, StoredValuesAreReadOrReplacedByTheDefault) {
    struct Case {
        const char* key;
        QString value;
        QString storedAfter;
    };
    const Case cases[] = {
        {"nodeid", "1", "1"},        {"nodeid", "abc", "40"},   {"nodeid", "", "40"},
        {"writebase", "2", "2"},     {"writebase", "x", "0"},   {"writebase", "7", "0"},
        {"writebase", "-1", "0"},    {"readstore", "1", "1"},   {"readstore", "maybe", "0"},
        {"writeenter", "0", "0"},    {"writeenter", "2", "1"},  {"usepennorak", "0", "0"},
        {"writedata", "a,b", "a,b"}, {"writelength", "4", "4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value.toStdString());
        guitest::clearSettings();
        store->setValue(QLatin1String(c.key), c.value);
        const MainSettings v = LoadMainSettings(store.get());
        EXPECT_EQ(stored(c.key), c.storedAfter);
        EXPECT_EQ(AsStored(v, c.key), c.storedAfter);
    }
}

// A comma typed into the settings file by hand makes the INI reader see a
// list; the text still reads back whole.
TEST_F(MainSettingsTest, HandWrittenTextWithCommaReadsWhole) {
    const QString path = store->fileName();
    store.reset();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\nwritedata=a,b\nreadpath=/tmp/x,y.bin\nnodeid=5\n");
    file.close();

    store = OpenSettings();
    ASSERT_NE(store, nullptr);
    const MainSettings v = LoadMainSettings(store.get());
    EXPECT_EQ(v.writedata, "a,b");
    EXPECT_EQ(v.readpath, "/tmp/x,y.bin");
    EXPECT_EQ(v.nodeid, 5);
}

TEST_F(MainSettingsTest, SaveThenLoadRoundTripsEveryField) {
    MainSettings saved;
    saved.nodeid = 127;
    saved.readindex = "2000";
    saved.readsubindex = "0A";
    saved.readstore = true;
    saved.readpath = "/tmp/read, with comma.bin";
    saved.writeindex = "6000";
    saved.writesubindex = "01";
    saved.writeenter = false;
    saved.writepath = "/tmp/write.bin";
    saved.writedata = "Hello, world";
    saved.writebase = 2;
    saved.writelength = "12";
    saved.allnodes = true;
    saved.usepennorak = false;
    SaveMainSettings(store.get(), saved);

    store = OpenSettings();  // a fresh reader of the same file
    ASSERT_NE(store, nullptr);
    const MainSettings v = LoadMainSettings(store.get());
    for (const auto& [key, text] : kDefaults) {
        EXPECT_EQ(AsStored(v, key), AsStored(saved, key)) << key;
    }
}

TEST(NodeStatusTest, NodeIdTexts) {
    const std::pair<int, const char*> cases[] = {
        {1, "01 (1d)"}, {10, "0A (10d)"}, {64, "40 (64d)"}, {127, "7F (127d)"}};
    for (const auto& [node, text] : cases) EXPECT_EQ(NodeIdText(node), text) << node;
}

TEST(NodeStatusTest, NodeStateTexts) {
    const char* const texts[] = {"Unknown",     "Bootup",  "Pre-Operational",
                                 "Operational", "Stopped", "Unknown"};
    for (uint32_t state = 0; state < std::size(texts); ++state) {
        EXPECT_EQ(NodeStateText(state), texts[state]) << state;
    }
}

}  // namespace
