// Editing a simulated CANopen Manager through its window: node table clicks,
// typing and pointer, the settings page, bridge forwarding tables, edits made
// while another operation runs, refused writes; a re-read shows what the
// manager keeps.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QTabWidget>
#include <filesystem>
#include <fstream>

#include "manager/date_time_dialog.h"
#include "manager_window_fixture.h"
#include "sdo_download_reader.h"

namespace {

using guitest::find;
using guitest::waitFor;
using managertest::TimeZone;

constexpr uint8_t kManager = managertest::kManagerNode;
constexpr char kReadOnlyAbort[] = "0x06010002";

class ManagerEditsTest : public managertest::ManagerWindowFixture {
protected:
    void SetUp() override {
        // Long enough that edits made while a silent entry's write waits are
        // surely made while it runs.
        sdoTimeoutMs = "1000";
        ManagerWindowFixture::SetUp();
        if (HasFatalFailure()) return;
        dir = std::filesystem::temp_directory_path() /
              ("quorvane_edits_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        ManagerWindowFixture::TearDown();
        std::filesystem::remove_all(dir);
    }

    std::string file(const std::string& name, const std::string& content) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void showPage(int page) { find<QTabWidget>(window.get(), "pages")->setCurrentIndex(page); }
    // Types into a settings edit as a user does, one key at a time.
    void typeInto(const char* name, const QString& keys) {
        auto* edit = find<QLineEdit>(window.get(), name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, keys);
    }
    // Chooses path in port's file dialog.
    void chooseTable(int port, const std::string& path) {
        whenModal("Win_OpenBFT", [path](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(files, nullptr);
            files->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(files, "accept");  // the slot OK runs
        });
        find<QPushButton>(window.get(), port == 1 ? "can1bftbrowse" : "can2bftbrowse")->click();
    }

    std::filesystem::path dir;
};

TEST_F(ManagerEditsTest, ACheckClickTogglesItsBitAndWritesOnlyTheAssignmentWithinTheCounts) {
    simCommand("entry 16 0x1F81 0 u8 10");
    simCommand("entry 16 0x1F26 0 u8 0");
    write32(kManager, 0x1F81, 3, 0x00000082);  // bits 1 and 7 are carried
    ASSERT_TRUE(openAndRead());
    EXPECT_EQ(window->configuration().entryCounts[1], 0);
    listen();

    clickCell(3, 1);
    EXPECT_EQ(cell(3, 1), "1");
    ASSERT_TRUE(idle());
    EXPECT_EQ(downloadsSoFar(), std::vector<std::string>{"610#23811F0383000000"});
    EXPECT_FALSE(logShown());

    // Beyond the count: grey, no image, nothing written.
    EXPECT_FALSE(available(11, 1));
    EXPECT_EQ(cell(11, 1), "0");
    clickCell(11, 1);
    EXPECT_FALSE(window->busy());
    EXPECT_EQ(window->configuration().node(11).slaveAssignment, 0u);

    // Each check column toggles its own bit; a second click on the current cell toggles back.
    const uint32_t bits[] = {0, 0x01, 0x04, 0x08, 0x10, 0x20, 0x40};
    for (int column = 2; column <= 6; ++column) {
        clickCell(4, column);
        ASSERT_TRUE(idle());
        EXPECT_EQ(managerValue(0x1F81, 4) & 0x7D, bits[column]) << column;
        clickCell(4, column);
        ASSERT_TRUE(idle());
        EXPECT_EQ(managerValue(0x1F81, 4), 0u) << column;
    }
    ASSERT_TRUE(reread());
    EXPECT_EQ(cell(3, 1), "1");
    EXPECT_EQ(window->configuration().node(3).slaveAssignment, 0x83u);
}

TEST_F(ManagerEditsTest, ArrowKeysToggleEveryCheckCellTheyLandOn) {
    ASSERT_TRUE(openAndRead());
    clickCell(6, 1);  // bit 0
    ASSERT_TRUE(idle());
    list()->setFocus();
    for (int i = 0; i < 5; ++i) QTest::keyClick(list(), Qt::Key_Right);  // columns 2-6
    ASSERT_TRUE(idle());
    EXPECT_EQ(window->configuration().node(6).slaveAssignment, 0x7Du);
    ASSERT_TRUE(reread());
    EXPECT_EQ(window->configuration().node(6).slaveAssignment, 0x7Du);
}

TEST_F(ManagerEditsTest, TypedNumbersAreMaskedIntoTheAssignment) {
    write32(kManager, 0x1F81, 3, 0x00000001);
    ASSERT_TRUE(openAndRead());
    // column, typed, shown after the editor closed, assignment in the manager
    const struct {
        int column;
        const char* typed;
        const char* shown;
        uint32_t assignment;
    } rows[] = {
        {7, "300", "44", 0x00002C01},    {8, "70000", "4464", 0x11702C01},
        {8, "1500", "1500", 0x05DC2C01}, {7, "abc", "0", 0x05DC0001},
        {8, "-5", "0", 0x00000001},      {7, "255", "255", 0x0000FF01},
    };
    for (const auto& r : rows) {
        clickCell(3, r.column);
        QLineEdit* editor = cellEditor();
        ASSERT_NE(editor, nullptr) << "the editor shows at once";
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromLatin1(r.typed));
        EXPECT_EQ(editor->text(), QString::fromLatin1(r.typed).left(5));
        ASSERT_TRUE(idle());
        EXPECT_EQ(managerValue(0x1F81, 3), r.assignment) << r.typed;
        clickCell(3, 0);  // the editor closes: the cell shows the value taken
        EXPECT_EQ(cellEditor(), nullptr);
        EXPECT_EQ(cell(3, r.column), r.shown) << r.typed;
    }
    ASSERT_TRUE(reread());
    EXPECT_EQ(window->configuration().node(3).slaveAssignment, 0x0000FF01u);
}

TEST_F(ManagerEditsTest, IdentityValuesAreTypedInHexAndEachGoesToItsOwnEntry) {
    ASSERT_TRUE(openAndRead());
    listen();
    clickCell(5, 10);
    ASSERT_NE(cellEditor(), nullptr);
    cellEditor()->selectAll();
    QTest::keyClicks(cellEditor(), "191");
    ASSERT_TRUE(idle());
    clickCell(5, 14);
    cellEditor()->selectAll();
    QTest::keyClicks(cellEditor(), "1234ABCDEF");  // eight characters at most
    ASSERT_TRUE(idle());
    clickCell(5, 0);
    EXPECT_EQ(cell(5, 10), "00000191");
    EXPECT_EQ(cell(5, 14), "1234ABCD");
    // Each typed value goes to its own entry; the released keys write the
    // row's assignment, date and time as well, unchanged.
    std::vector<std::string> identity;
    for (const std::string& w : downloadsSoFar()) {
        if (w.rfind("610#23841F05", 0) == 0 || w.rfind("610#23881F05", 0) == 0) {
            identity.push_back(w);
        } else {
            EXPECT_TRUE(w == "610#23811F0500000000" || w == "610#23261F0500000000" ||
                        w == "610#23271F0500000000")
                << w;
        }
    }
    ASSERT_FALSE(identity.empty());
    EXPECT_EQ(identity.front().substr(0, 12), "610#23841F05");
    EXPECT_EQ(identity.back(), "610#23881F05CDAB3412");
    ASSERT_TRUE(reread());
    EXPECT_EQ(window->configuration().node(5).deviceType, 0x191u);
    EXPECT_EQ(window->configuration().node(5).serialNumber, 0x1234ABCDu);
}

TEST_F(ManagerEditsTest, AnyKeyReleasedOnAnIdentityCellWritesTheRowWithinItsCounts) {
    simCommand("entry 16 0x1F26 0 u8 0");
    write32(kManager, 0x1F81, 5, 0x00000005);
    ASSERT_TRUE(openAndRead());
    clickCell(5, 10);
    ASSERT_NE(cellEditor(), nullptr);
    listen();
    QTest::keyClick(cellEditor(), Qt::Key_Shift);
    ASSERT_TRUE(idle());
    EXPECT_EQ(downloadsSoFar(), std::vector<std::string>{"610#23811F0505000000"});
}

TEST_F(ManagerEditsTest, PointerShowsWhatACellTakes) {
    simCommand("entry 16 0x1F81 0 u8 10");
    ASSERT_TRUE(openAndRead());
    // node, column, pointer
    const struct {
        int node, column;
        Qt::CursorShape shape;
    } rows[] = {
        {3, 1, Qt::PointingHandCursor}, {3, 6, Qt::PointingHandCursor}, {3, 7, Qt::IBeamCursor},
        {3, 8, Qt::IBeamCursor},        {3, 11, Qt::IBeamCursor},       {11, 1, Qt::ArrowCursor},
        {3, 0, Qt::ArrowCursor},        {3, 9, Qt::ArrowCursor},        {11, 7, Qt::ArrowCursor},
    };
    for (const auto& r : rows) {
        QTest::mouseMove(list()->viewport(), centreOf(r.node, r.column));
        EXPECT_TRUE(waitFor([&] { return list()->viewport()->cursor().shape() == r.shape; }))
            << r.node << " " << r.column;
    }
}

TEST_F(ManagerEditsTest, TheDateColumnOpensTheDialogAndWritesTheAcceptedDateAndTime) {
    TimeZone utc("UTC0");
    ASSERT_TRUE(openAndRead());
    listen();
    whenModal("TWin_EnterDateAndTime", [](QWidget* dialog) {
        find<QLineEdit>(dialog, "dateandtime")->setText("01-Jan-2009 10:00:00:000");
        find<QPushButton>(dialog, "ok")->click();
    });
    clickCell(5, 9);
    ASSERT_TRUE(waitFor([&] { return cell(5, 9) == "01-Jan-2009 10:00:00:000"; }));
    ASSERT_TRUE(idle());
    EXPECT_EQ(downloadsSoFar(),
              (std::vector<std::string>{"610#23811F0500000000", "610#23261F05AC230000",
                                        "610#23271F0500512502"}));
    // Cancelled: nothing changes.
    for (int node : {6, 5}) {
        bool cancelled = false;
        whenModal("TWin_EnterDateAndTime", [&cancelled](QWidget* dialog) {
            find<QLineEdit>(dialog, "dateandtime")->setText("02-Jan-2009 10:00:00:000");
            find<QPushButton>(dialog, "cancel")->click();
            cancelled = true;
        });
        clickCell(node, 9);
        ASSERT_TRUE(
            waitFor([&] { return cancelled && QApplication::activeModalWidget() == nullptr; }));
    }
    EXPECT_FALSE(window->busy());
    ASSERT_TRUE(reread());
    EXPECT_EQ(cell(5, 9), "01-Jan-2009 10:00:00:000");
    EXPECT_EQ(window->configuration().node(6).configDate, 0u);
}

TEST_F(ManagerEditsTest, ARefusedWriteIsLoggedAndTheValueStaysMarkedUntilTheManagerTakesIt) {
    ASSERT_TRUE(openAndRead());
    simCommand(std::string("refuse 16 0x1F81 3 ") + kReadOnlyAbort);
    clickCell(3, 2);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(logShown());
    EXPECT_EQ(logLines(),
              QStringList{"Failed to write slave assignment for node 0x03 (3d) to the CANopen "
                          "Manager (0x1F81 sub 3): Attempt to write a read only object "
                          "(0x06010002)"});
    EXPECT_EQ(cell(3, 2), "1") << "the table keeps the user's value";
    EXPECT_TRUE(unwritten(3, 2));
    EXPECT_TRUE(unwritten(3, 8));
    EXPECT_FALSE(unwritten(3, 9)) << "the date and time were taken";
    EXPECT_FALSE(unwritten(4, 2));
    EXPECT_FALSE(index(3, 2).data(Qt::ToolTipRole).toString().isEmpty());

    simCommand("refuse 16 none");
    clickCell(3, 3);
    ASSERT_TRUE(idle());
    EXPECT_FALSE(logShown());
    EXPECT_FALSE(unwritten(3, 2));
    EXPECT_EQ(managerValue(0x1F81, 3), 0x0Cu);
}

TEST_F(ManagerEditsTest, SettingsShowTheConfigurationWordAndWriteAllSevenValues) {
    simCommand("entry 16 0x2000 1 u16 0x8111");
    ASSERT_TRUE(openAndRead());
    showPage(1);
    EXPECT_EQ(find<QComboBox>(window.get(), "opmode")->currentText(), "Active");
    EXPECT_EQ(find<QComboBox>(window.get(), "smartbridge")->currentText(), "Smart, self-learning");
    EXPECT_TRUE(find<QCheckBox>(window.get(), "disablesdochannel")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(window.get(), "startsetup")->isChecked());
    EXPECT_TRUE(find<QLineEdit>(window.get(), "prebootdelay")->isEnabled());

    simCommand("entry 16 0x2000 1 u16 0x0030");
    ASSERT_TRUE(reread());
    EXPECT_EQ(find<QComboBox>(window.get(), "opmode")->currentText(), "Setup");
    EXPECT_EQ(find<QComboBox>(window.get(), "smartbridge")->currentIndex(), -1)
        << "3 is beyond the list";
    listen();
    auto* opmode = find<QComboBox>(window.get(), "opmode");
    opmode->setCurrentIndex(1);
    Q_EMIT opmode->activated(1);  // the user's choice
    ASSERT_TRUE(idle());
    EXPECT_EQ(downloadsSoFar(),
              (std::vector<std::string>{"610#2B00200131000000", "610#2B002002F4010000",
                                        "610#2B002003E8030000", "610#2B002004F4010000",
                                        "610#2B00200500000000", "610#2B002006E8030000",
                                        "610#2B00200796000000"}));

    // Five characters at most; the low 16 bits go; an emptied edit writes 0.
    typeInto("postbootdelay", "999999");
    EXPECT_EQ(text("postbootdelay"), "99999");
    typeInto("sdodelay", "7");
    auto* sdodelay = find<QLineEdit>(window.get(), "sdodelay");
    sdodelay->selectAll();
    QTest::keyClick(sdodelay, Qt::Key_Backspace);
    find<QCheckBox>(window.get(), "disablesdochannel")->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(managerValue(0x2000, 3), 34463u);
    EXPECT_EQ(managerValue(0x2000, 5), 0u);
    EXPECT_EQ(managerValue(0x2000, 1), 0x0131u);
    ASSERT_TRUE(reread());
    EXPECT_EQ(text("postbootdelay"), "34463");
    EXPECT_EQ(text("sdodelay"), "0");
    EXPECT_TRUE(find<QCheckBox>(window.get(), "disablesdochannel")->isChecked());
    EXPECT_FALSE(logShown());
}

TEST_F(ManagerEditsTest, TypingWhileTheFirstWriteRunsEndsWithTheWholeValueInTheManager) {
    ASSERT_TRUE(openAndRead());
    showPage(1);
    typeInto("prebootdelay", "1500");
    EXPECT_TRUE(window->busy()) << "the first key started a write";
    EXPECT_EQ(text("prebootdelay"), "1500");
    ASSERT_TRUE(idle());
    EXPECT_EQ(managerValue(0x2000, 2), 1500u);
    ASSERT_TRUE(reread());
    EXPECT_EQ(text("prebootdelay"), "1500");

    // The same in a node table cell.
    clickCell(9, 8);
    cellEditor()->selectAll();
    QTest::keyClicks(cellEditor(), "1500");
    ASSERT_TRUE(idle());
    EXPECT_EQ(managerValue(0x1F81, 9), 1500u << 16);
}

TEST_F(ManagerEditsTest, EditsMadeWhileAWriteWaitsAreWrittenWhenItEnds) {
    ASSERT_TRUE(openAndRead());
    simCommand("silent 16 0x1F81 4");  // the row write of node 4 waits for its time-out
    clickCell(4, 1);
    ASSERT_TRUE(window->busy());
    clickCell(3, 1);
    clickCell(2, 5);
    showPage(1);
    typeInto("sdotimeout", "250");
    ASSERT_TRUE(idle());
    EXPECT_EQ(managerValue(0x1F81, 3), 0x01u);
    EXPECT_EQ(managerValue(0x1F81, 2), 0x20u);
    EXPECT_EQ(managerValue(0x2000, 4), 250u);
    EXPECT_TRUE(unwritten(4, 1));
    EXPECT_EQ(logLines().size(), 1);
    EXPECT_TRUE(logLines().value(0).startsWith(
        "Failed to write slave assignment for node 0x04 (4d) to the CANopen Manager (0x1F81 sub "
        "4): No response"))
        << logLines().value(0).toStdString();
    EXPECT_TRUE(logShown());
}

TEST_F(ManagerEditsTest, AnotherManagerChosenWhileAWriteRunsIsReadAfterItAndGetsNoneOfItsEdits) {
    simCommand("manager 20");
    ASSERT_TRUE(openAndRead());
    simCommand("silent 16 0x1F81 4");  // the row write of node 4 waits for its time-out
    clickCell(4, 1);
    ASSERT_TRUE(window->busy());
    selector()->setCurrentIndex(19);
    Q_EMIT selector()->activated(19);  // the user's choice: manager 20
    clickCell(3, 1);                   // an edit of manager 16's table, shown still
    EXPECT_EQ(window->configManager(), kManager);
    ASSERT_TRUE(waitFor([&] { return window->configManager() == 20 && !window->busy(); },
                        std::chrono::seconds(60)));
    EXPECT_EQ(managerValue(0x1F81, 3), 0x01u) << "the edit went to the manager it was made on";
    uint8_t bytes[4] = {};
    uint32_t length = sizeof bytes;
    LibraryResult result{};
    utilities.SDOUpload(20, 0x1F81, 3, bytes, length, result);
    ASSERT_EQ(result.code, 0) << result.text;
    EXPECT_EQ(bytes[0], 0) << "manager 20 got none of manager 16's edits";
    EXPECT_EQ(window->configuration().statusMessage, "Quorsim Manager node 20: ready");
    EXPECT_EQ(cell(3, 1), "0");
}

TEST_F(ManagerEditsTest, BridgeTablesGoAsTheFilesBytesAndOversizedOrEmptyFilesAreRefused) {
    ASSERT_TRUE(openAndRead());
    showPage(1);
    std::string table;
    for (int i = 0; table.size() < 1000; ++i) table += "0x" + std::to_string(180 + i % 20) + " 2\n";
    table.resize(1000);
    const std::string full = file("full.txt", table);
    listen();
    managertest::SdoDownloadReader downloads(*listener, kManager);
    chooseTable(1, full);
    EXPECT_EQ(text("can1bft").toStdString(), full);
    const auto seen = downloads.next();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->index, 0x2011);
    EXPECT_EQ(seen->subindex, 3);
    EXPECT_FALSE(seen->aborted);
    EXPECT_EQ(std::string(seen->data.begin(), seen->data.end()), table);
    ASSERT_TRUE(idle());
    EXPECT_FALSE(logShown());

    // CR LF goes as LF; nothing is added at the end.
    chooseTable(2, file("crlf.txt", "0x181 1\r\n0x182 1\r\n"));
    const auto crlf = downloads.next();
    ASSERT_TRUE(crlf.has_value());
    EXPECT_EQ(crlf->index, 0x2012);
    EXPECT_EQ(std::string(crlf->data.begin(), crlf->data.end()), "0x181 1\n0x182 1\n");
    ASSERT_TRUE(idle());

    const std::string empty = file("empty.txt", "");
    const std::string large = file("large.txt", table + "x");
    const std::pair<std::string, QString> refused[] = {
        {empty, QString::fromStdString("File " + empty +
                                       " is empty: no bridge forwarding table was sent")},
        {large, QString::fromStdString(
                    "File " + large +
                    " holds more than 1000 bytes, the most a bridge forwarding table may have: "
                    "nothing was sent")},
    };
    for (const auto& [path, line] : refused) {
        listen();
        chooseTable(1, path);
        ASSERT_TRUE(idle());
        EXPECT_EQ(logLines(), QStringList{line});
        EXPECT_TRUE(logShown());
        EXPECT_EQ(downloadsSoFar(), std::vector<std::string>{}) << "nothing on the bus";
    }
}

TEST_F(ManagerEditsTest, APort2TableDisablesTheSelectorAndPagesUntilItEnds) {
    ASSERT_TRUE(openAndRead());
    showPage(1);
    find<QLineEdit>(window.get(), "can1bft")->setText("/nonexistent/port1.txt");
    simCommand("silent 16 0x2012 3");  // the download waits for its time-out
    chooseTable(2, file("t.txt", "1 2\n"));
    EXPECT_TRUE(window->busy()) << "port 1's missing file does not stop port 2";
    EXPECT_FALSE(selector()->isEnabled());
    EXPECT_FALSE(find<QPushButton>(window.get(), "reread")->isEnabled());
    EXPECT_FALSE(find<QTabWidget>(window.get(), "pages")->isEnabled());
    ASSERT_TRUE(idle());
    EXPECT_TRUE(selector()->isEnabled());
    EXPECT_TRUE(find<QPushButton>(window.get(), "reread")->isEnabled());
    EXPECT_TRUE(find<QTabWidget>(window.get(), "pages")->isEnabled());
    ASSERT_EQ(logLines().size(), 1);
    EXPECT_TRUE(
        logLines()[0].startsWith("Failed to write bridge forwarding table to the CANopen "
                                 "Manager (0x2012 sub 3): No response"));

    // Port 1 leaves everything enabled; an edit and a port 2 table chosen
    // meanwhile are sent afterwards, the same file again as well.
    simCommand("silent 16 none");
    simCommand("silent 16 0x2011 3");
    chooseTable(1, file("t1.txt", "3 4\n"));
    EXPECT_TRUE(window->busy());
    EXPECT_TRUE(find<QTabWidget>(window.get(), "pages")->isEnabled());
    listen();
    managertest::SdoDownloadReader downloads(*listener, kManager);
    typeInto("defaulthbtime", "2000");
    chooseTable(2, file("t.txt", "1 2\n"));
    ASSERT_TRUE(window->busy()) << "both were chosen while port 1's table was on its way";
    ASSERT_TRUE(idle());
    EXPECT_EQ(managerValue(0x2000, 6), 2000u);
    std::vector<uint16_t> entries;
    while (auto seen = downloads.next(std::chrono::milliseconds(2000))) {
        if (seen->index == 0x2012)
            EXPECT_EQ(std::string(seen->data.begin(), seen->data.end()), "1 2\n");
        entries.push_back(seen->index);
        if (seen->index == 0x2012) break;
    }
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), 0x2012) << "the port 2 table went after the write";
}

TEST_F(ManagerEditsTest, ClosingTheWindowDuringAWriteEndsItCleanly) {
    ASSERT_TRUE(openAndRead());
    simCommand("silent 16 0x2000 1");
    showPage(1);
    typeInto("sdodelay", "12");
    ASSERT_TRUE(window->busy());
    window.reset();
    window = std::make_unique<TWin_CANopenManager>(utilities, progress, notifier);
    simCommand("silent 16 none");
    ASSERT_TRUE(openAndRead());
    EXPECT_TRUE(window->configuration().configValid);
}

TEST_F(ManagerEditsTest, SettingsCannotBeChangedWithoutAValidRead) {
    simCommand("silent 16 0x1F26 2");
    window->OpenForNode(kManager);
    ASSERT_TRUE(waitFor([&] { return nextUpload(kManager) == "1F26 sub 02"; }));
    find<QPushButton>(&progress, "cancel")->click();
    ASSERT_TRUE(idle());
    EXPECT_FALSE(window->configuration().configValid);
    for (const char* name : {"opmode", "smartbridge", "prebootdelay", "defaulthbfactor",
                             "disablesdochannel", "startsetup"})
        EXPECT_FALSE(find<QWidget>(window.get(), name)->isEnabled()) << name;
}

TEST_F(ManagerEditsTest, EveryKindOfChangeIsWhatAReReadShows) {
    TimeZone utc("UTC0");
    ASSERT_TRUE(openAndRead());
    clickCell(7, 1);
    clickCell(7, 3);
    clickCell(7, 11);
    cellEditor()->selectAll();
    QTest::keyClicks(cellEditor(), "2AB");
    whenModal("TWin_EnterDateAndTime", [](QWidget* dialog) {
        find<QLineEdit>(dialog, "dateandtime")->setText("15-Mar-2024 08:30:00:250");
        find<QPushButton>(dialog, "ok")->click();
    });
    clickCell(7, 9);
    ASSERT_TRUE(waitFor([&] { return cell(7, 9) == "15-Mar-2024 08:30:00:250"; }));
    showPage(1);
    auto* bridge = find<QComboBox>(window.get(), "smartbridge");
    bridge->setCurrentIndex(2);
    Q_EMIT bridge->activated(2);
    typeInto("defaulthbfactor", "175");
    chooseTable(1, file("p1.txt", "1\n"));
    chooseTable(2, file("p2.txt", "2\n"));
    ASSERT_TRUE(idle());
    const ManagerConfiguration edited = window->configuration();
    EXPECT_FALSE(logShown()) << logLines().join('\n').toStdString();
    ASSERT_TRUE(reread());
    EXPECT_EQ(window->configuration(), edited);
    EXPECT_EQ(window->configuration().node(7).slaveAssignment, 0x09u);
    EXPECT_EQ(window->configuration().node(7).vendorId, 0x2ABu);
    EXPECT_EQ(window->configuration().configWord & 0x30, 0x20);
    EXPECT_EQ(window->configuration().defaultHeartbeatFactor, 175u);
}

}  // namespace
