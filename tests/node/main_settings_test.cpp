// The main window's remembered values and its node texts.
#include "node/main_settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <memory>

#include "app/settings_store.h"
#include "gui_test_support.h"
#include "node/node_status.h"

namespace {

const char* const kKeys[] = {"nodeid",     "readindex",  "readsubindex",  "readstore",
                             "readpath",   "writeindex", "writesubindex", "writeenter",
                             "writepath",  "writedata",  "writebase",     "writelength",
                             "allnodes",   "usepennorak"};

void ExpectDefaults(const MainSettings& v) {
    EXPECT_EQ(v.nodeid, 40);
    EXPECT_EQ(v.readindex, "1000");
    EXPECT_EQ(v.readsubindex, "00");
    EXPECT_FALSE(v.readstore);
    EXPECT_EQ(v.readpath, "");
    EXPECT_EQ(v.writeindex, "1000");
    EXPECT_EQ(v.writesubindex, "00");
    EXPECT_TRUE(v.writeenter);
    EXPECT_EQ(v.writepath, "");
    EXPECT_EQ(v.writedata, "1A2B3C4D");
    EXPECT_EQ(v.writebase, 0);
    EXPECT_EQ(v.writelength, "");
    EXPECT_FALSE(v.allnodes);
    EXPECT_TRUE(v.usepennorak);
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
    for (const char* key : kKeys) EXPECT_TRUE(store->contains(QLatin1String(key))) << key;
    EXPECT_EQ(store->allKeys().size(), static_cast<int>(std::size(kKeys)));
    EXPECT_EQ(stored("nodeid"), "40");
    EXPECT_EQ(stored("writedata"), "1A2B3C4D");
    EXPECT_EQ(stored("writeenter"), "1");
    EXPECT_EQ(stored("readstore"), "0");
}

TEST_F(MainSettingsTest, NoStoreGivesDefaults) { ExpectDefaults(LoadMainSettings(nullptr)); }

// One stored value at a time: what is loaded and what the store holds after.
TEST_F(MainSettingsTest, StoredValuesAreReadOrReplacedByTheDefault) {
    struct Case {
        const char* key;
        QString value;
        QString storedAfter;
    };
    const Case cases[] = {
        {"nodeid", "1", "1"},
        {"nodeid", "abc", "40"},
        {"nodeid", "", "40"},
        {"writebase", "2", "2"},
        {"writebase", "x", "0"},
        {"writebase", "7", "0"},
        {"writebase", "-1", "0"},
        {"readstore", "1", "1"},
        {"readstore", "maybe", "0"},
        {"writeenter", "0", "0"},
        {"writeenter", "2", "1"},
        {"usepennorak", "0", "0"},
        {"writedata", "a,b", "a,b"},
        {"writelength", "4", "4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value.toStdString());
        guitest::clearSettings();
        store->setValue(QLatin1String(c.key), c.value);
        const MainSettings v = LoadMainSettings(store.get());
        EXPECT_EQ(stored(c.key), c.storedAfter);
        const QString key = QLatin1String(c.key);
        if (key == "nodeid") EXPECT_EQ(QString::number(v.nodeid), c.storedAfter);
        if (key == "writebase") EXPECT_EQ(QString::number(v.writebase), c.storedAfter);
        if (key == "readstore") EXPECT_EQ(v.readstore, c.storedAfter == "1");
        if (key == "writeenter") EXPECT_EQ(v.writeenter, c.storedAfter == "1");
        if (key == "usepennorak") EXPECT_EQ(v.usepennorak, c.storedAfter == "1");
        if (key == "writedata") EXPECT_EQ(v.writedata, c.storedAfter);
        if (key == "writelength") EXPECT_EQ(v.writelength, c.storedAfter);
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
    EXPECT_EQ(v.nodeid, saved.nodeid);
    EXPECT_EQ(v.readindex, saved.readindex);
    EXPECT_EQ(v.readsubindex, saved.readsubindex);
    EXPECT_EQ(v.readstore, saved.readstore);
    EXPECT_EQ(v.readpath, saved.readpath);
    EXPECT_EQ(v.writeindex, saved.writeindex);
    EXPECT_EQ(v.writesubindex, saved.writesubindex);
    EXPECT_EQ(v.writeenter, saved.writeenter);
    EXPECT_EQ(v.writepath, saved.writepath);
    EXPECT_EQ(v.writedata, saved.writedata);
    EXPECT_EQ(v.writebase, saved.writebase);
    EXPECT_EQ(v.writelength, saved.writelength);
    EXPECT_EQ(v.allnodes, saved.allnodes);
    EXPECT_EQ(v.usepennorak, saved.usepennorak);
}

TEST(NodeStatusTest, NodeIdTexts) {
    const std::pair<int, const char*> cases[] = {
        {1, "01 (1d)"}, {10, "0A (10d)"}, {64, "40 (64d)"}, {127, "7F (127d)"}};
    for (const auto& [node, text] : cases) EXPECT_EQ(NodeIdText(node), text) << node;
}

TEST(NodeStatusTest, NodeStateTexts) {
    const char* const texts[] = {"Unknown", "Bootup",  "Pre-Operational",
                                 "Operational", "Stopped", "Unknown"};
    for (uint32_t state = 0; state < std::size(texts); ++state) {
        EXPECT_EQ(NodeStateText(state), texts[state]) << state;
    }
}

}  // namespace
