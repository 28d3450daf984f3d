// Reading and writing object dictionary entries from the main window against
// quorsim node 5: display, dump window, files, entered data, failures,
// cancel, and the window disabled while a transfer runs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/window_set.h"
#include "gui/progress_dialog.h"
#include "main_window_fixture.h"
#include "node/display_window.h"

namespace {

using guitest::find;
using guitest::waitFor;

class ReadWriteTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure()) return;
        createApp();
        openInterface();
        controls().nodelist->setCurrentIndex(4);  // node 5
    }

    // Clicks `button` and waits until the transfer has ended (the controls
    // are enabled again).
    void runTransfer(QPushButton* button) {
        button->click();
        ASSERT_TRUE(
            waitFor([&] { return controls().tabs->isEnabled(); }, std::chrono::seconds(60)));
    }

    void read(const char* index, const char* subindex) {
        controls().readindex->setText(index);
        controls().readsubindex->setText(subindex);
        runTransfer(controls().readbutton);
    }
    // Reads and waits for the display (drawn at the next tick).
    void readShown(const char* index, const char* subindex) {
        controls().readlength->clear();
        read(index, subindex);
        ASSERT_TRUE(waitFor([&] { return !controls().readlength->text().isEmpty(); }))
            << notifier.texts().join('\n').toStdString();
    }
    void write(const char* index, const char* subindex) {
        controls().writeindex->setText(index);
        controls().writesubindex->setText(subindex);
        runTransfer(controls().writebutton);
    }
    void enterData(const char* base, const char* data, const char* length) {
        controls().writeenter->setChecked(true);
        controls().writebase->setCurrentText(base);
        controls().writedata->setText(data);
        controls().writelength->setText(length);
    }

    QString lastMessage() const {
        return notifier.boxes.empty() ? QString() : notifier.boxes.back().second;
    }

    QTemporaryDir files;
};

TEST_F(ReadWriteTest, ReadsAnEntryIntoTheDisplayFields) {
    readShown("2000", "03");  // INTEGER16 -1000
    const MainControls& c = controls();
    EXPECT_EQ(c.readlength->text(), "2");
    EXPECT_EQ(c.displayhex->text(), "FC18");
    EXPECT_EQ(c.displaydecimal->text(), "64536");
    EXPECT_EQ(c.displaysdecimal->text(), "-1000");
    EXPECT_FALSE(c.viewmorebutton->isVisible());
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(ReadWriteTest, LongEntryShowsItsFirst16BytesAndTheWholeDump) {
    readShown("2100", "00");  // 1000 bytes, byte i = i*7
    const MainControls& c = controls();
    EXPECT_EQ(c.readlength->text(), "1000");
    EXPECT_EQ(c.displayhex->text(), "00070E151C232A31383F464D545B6269");
    EXPECT_TRUE(c.first16label->isVisible());
    ASSERT_TRUE(c.viewmorebutton->isVisible());

    auto* dump = app->windows().display;
    QString caption;
    QStringList lines;
    QTimer reader;
    reader.setInterval(5);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        if (!dump->isVisible()) return;
        reader.stop();
        caption = dump->windowTitle();
        lines = find<QPlainTextEdit>(dump, "display")->toPlainText().split('\n');
        find<QPushButton>(dump, "closebutton")->click();
    });
    reader.start();
    c.viewmorebutton->click();  // modal until the timer closes it
    EXPECT_EQ(caption, "Data from Node 0x05 OD Entry 0x2100 subindex 0x00");
    ASSERT_EQ(lines.size(), 63);
    for (const QString& line : lines) EXPECT_EQ(line.size(), 56) << line.toStdString();
    EXPECT_TRUE(lines.last().startsWith("0003E0 2027"));
}

TEST_F(ReadWriteTest, ReadStoresTheEntryInAFileAndClearsTheDisplay) {
    readShown("2000", "01");
    const QString path = files.filePath("entry.bin");
    controls().readstore->setChecked(true);
    controls().readpath->setText(path);
    read("2100", "00");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 1000);
    for (int i = 0; i < bytes.size(); ++i) ASSERT_EQ(uint8_t(bytes[i]), uint8_t(i * 7)) << i;
    EXPECT_TRUE(waitFor([&] { return controls().displayhex->text().isEmpty(); }));

    controls().readpath->setText(files.filePath("no/such/folder/x.bin"));
    read("2000", "01");
    EXPECT_EQ(lastMessage(),
              "Unable to open Setup File: " + files.filePath("no/such/folder/x.bin"));
}

// A file that takes no data (a full disk) is reported with its name and the
// reason; the display keeps the last read entry.
TEST_F(ReadWriteTest, FailedStoreIsReportedAndKeepsTheDisplay) {
    readShown("2000", "01");
    controls().readstore->setChecked(true);
    controls().readpath->setText("/dev/full");
    read("2100", "00");
    EXPECT_EQ(lastMessage(), "Unable to store the data in /dev/full: No space left on device");
    const uint32_t ended = main()->elapsedTicks();
    ASSERT_TRUE(waitFor([&] { return main()->elapsedTicks() >= ended + 10; }));  // two ticks
    EXPECT_EQ(controls().displayhex->text(), "12345678");
    EXPECT_EQ(notifier.boxes.size(), 1u);
}

TEST_F(ReadWriteTest, WritesEnteredDataInEachBase) {
    const struct {
        const char* base;
        const char* data;
        const char* length;
        const char* subindex;
        const char* shownHex;
    } cases[] = {
        {"Hexadecimal", "CAFEBABE", "4", "01", "CAFEBABE"},
        {"Decimal", "-128", "1", "02", "80"},    // INTEGER8
        {"ASCII", "AB", "4", "09", "20204241"},  // string padded with spaces
    };
    for (const auto& row : cases) {
        enterData(row.base, row.data, row.length);
        write("2000", row.subindex);
        ASSERT_TRUE(notifier.boxes.empty()) << row.base << ": " << lastMessage().toStdString();
        readShown("2000", row.subindex);
        EXPECT_EQ(controls().displayhex->text(), row.shownHex) << row.base << " " << row.data;
    }
}

TEST_F(ReadWriteTest, WritesAFileAndRefusesOneTooLong) {
    QByteArray content(174080, '\0');
    for (int i = 0; i < content.size(); ++i) content[i] = char(i % 251);
    const QString path = files.filePath("in.bin");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    controls().writeread->setChecked(true);
    controls().writepath->setText(path);
    write("2101", "00");
    ASSERT_TRUE(notifier.boxes.empty()) << lastMessage().toStdString();
    const QString back = files.filePath("back.bin");
    controls().readstore->setChecked(true);
    controls().readpath->setText(back);
    read("2101", "00");
    QFile readBack(back);
    ASSERT_TRUE(readBack.open(QIODevice::ReadOnly));
    EXPECT_TRUE(readBack.readAll() == content);

    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("x", 1);
    file.close();
    write("2101", "00");
    EXPECT_EQ(lastMessage(), "The file " + path +
                                 " is larger than 174080 bytes, the largest entry Quorvane can "
                                 "write.");
}

TEST_F(ReadWriteTest, FailuresAreReportedWithTheirText) {
    const MainControls& c = controls();
    enterData("Hexadecimal", "01020304", "4");
    write("2001", "00");  // read-only
    EXPECT_EQ(lastMessage(),
              "SDO Protocol error: Attempt to write a read only object (0x06010002)");

    read("2101", "00");  // 200000 bytes do not fit
    EXPECT_TRUE(lastMessage().startsWith("SDO Protocol error: ")) << lastMessage().toStdString();

    simCommand("fault 5 noanswer");
    read("2000", "01");
    EXPECT_EQ(lastMessage(),
              "Timeout occured - no response received: No response from node 5 within 300 ms");
    simCommand("fault 5 none");

    const std::size_t before = notifier.boxes.size();
    c.readindex->setText("G000");
    c.readbutton->click();
    EXPECT_EQ(lastMessage(), "Please enter a valid hexadecimal value for the index");
    enterData("Hexadecimal", "ABC", "4");
    c.writebutton->click();
    EXPECT_EQ(lastMessage(), "Hexadecimal data must contain two characters for each value");
    c.nodelist->setCurrentIndex(-1);
    c.readindex->setText("1000");
    c.readbutton->click();
    EXPECT_EQ(lastMessage(), "Node ID must be in the range 0x01 -> 0x7F");
    EXPECT_EQ(notifier.boxes.size(), before + 3);
    EXPECT_TRUE(c.tabs->isEnabled());  // refusals never start a transfer
}

TEST_F(ReadWriteTest, CancelStopsALongTransferSilentlyAndKeepsTheDisplay) {
    readShown("2000", "01");
    simCommand("fault 5 delay 100");
    auto* progress = app->windows().progress;
    const MainControls& c = controls();
    c.readindex->setText("2100");
    c.readsubindex->setText("00");
    c.readbutton->click();
    ASSERT_TRUE(progress->isVisible());
    EXPECT_FALSE(c.tabs->isEnabled());
    EXPECT_FALSE(c.nodelist->isEnabled());
    EXPECT_FALSE(c.fileMenu->isEnabled());
    EXPECT_TRUE(waitFor([&] { return find<QProgressBar>(progress, "bar")->value() > 0; }));
    find<QPushButton>(progress, "cancel")->click();
    ASSERT_TRUE(waitFor([&] { return c.tabs->isEnabled(); }));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(notifier.boxes.empty()) << lastMessage().toStdString();
    EXPECT_EQ(c.displayhex->text(), "12345678");
    EXPECT_TRUE(c.helpMenu->isEnabled());
}

TEST_F(ReadWriteTest, BaseChangeLimitsTheDecimalLengthAndEmptiesTheData) {
    const MainControls& c = controls();
    c.writebase->setCurrentText("Hexadecimal");
    c.writelength->setText("8");
    c.writedata->setText("1122");
    c.writebase->setCurrentText("Decimal");
    EXPECT_EQ(c.writelength->text(), "4");
    EXPECT_EQ(c.writedata->text(), "");
    EXPECT_EQ(c.writedatalabel->text(), "Data:");
    c.writebase->setCurrentText("Hexadecimal");
    EXPECT_EQ(c.writedatalabel->text(), "Data: 0x");
}

}  // namespace
