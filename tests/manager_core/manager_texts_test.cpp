// Texts of the manager window (node titles, table cells, bit rates) and the
// configuration date and time: format, validation messages and parse, with
// TZ set per table.
#include "manager/core/manager_texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "manager/core/config_date_time.h"
#include "manager/core/manager_map.h"
#include "support/scoped_time_zone.h"

namespace {

using TimeZone = testsupport::ScopedTimeZone;

constexpr char kUtc[] = "UTC0";
constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";  // +1, summer +2

TEST(ManagerTexts, NodeTitlesBitRatesAndCells) {
    EXPECT_EQ(manager_text::NodeTitle(5), "0x05 (5d)");
    EXPECT_EQ(manager_text::NodeTitle(127), "0x7F (127d)");
    const std::pair<uint8_t, const char*> rates[] = {
        {0, "Disabled"}, {1, "10kbps"},  {2, "20kbps"},  {3, "50kbps"}, {4, "125kbps"},
        {5, "250kbps"},  {6, "500kbps"}, {7, "800kbps"}, {8, "1Mbps"},  {9, nullptr}};
    for (const auto& [code, text] : rates) {
        const auto got = manager_map::BitRateText(code);
        if (text == nullptr) {
            EXPECT_FALSE(got) << +code;
        } else {
            EXPECT_EQ(got, text) << +code;
        }
    }

    TimeZone zone(kUtc);
    ManagerConfiguration config;
    config.entryCounts = {10, 3, 4, 4, 4, 4, 1};
    ManagerNodeRecord& r = config.node(3);
    r.slaveAssignment = 0xFFFF2C7D;  // bits 0, 2-6; retry factor 0x2C; guard time 0xFFFF
    r.configDate = 1;
    r.configTime = 1500;
    r.deviceType = 0x191;
    r.serialNumber = 0xABCDEF01;
    // column, text (row 3)
    const std::pair<int, const char*> cells[] = {{0, "0x03 (3d)"}, {1, "1"},
                                                 {2, "1"},         {3, "1"},
                                                 {4, "1"},         {5, "1"},
                                                 {6, "1"},         {7, "44"},
                                                 {8, "65535"},     {9, "02-Jan-1984 00:00:01:500"},
                                                 {10, "00000191"}, {11, "00000000"},
                                                 {14, "ABCDEF01"}, {15, ""}};
    // Without a valid configuration only the titles show.
    EXPECT_EQ(manager_text::CellText(config, 3, 1), "");
    EXPECT_EQ(manager_text::CellText(config, 3, 0), "0x03 (3d)");
    config.configValid = true;
    for (const auto& [column, text] : cells)
        EXPECT_EQ(manager_text::CellText(config, 3, column), text) << column;
    r.slaveAssignment = 0x02;  // bit 1 is not shown
    for (int column = 1; column <= 6; ++column)
        EXPECT_EQ(manager_text::CellText(config, 3, column), "0") << column;

    // row, column, available
    const struct {
        int row, column;
        bool available;
    } rows[] = {{1, 0, false}, {1, 1, true},   {10, 8, true},  {11, 1, false},
                {3, 9, true},  {4, 9, false},  {4, 10, true},  {5, 10, false},
                {1, 14, true}, {2, 14, false}, {1, 15, false}, {0, 1, false}};
    for (const auto& row : rows)
        EXPECT_EQ(manager_text::CellAvailable(config, row.row, row.column), row.available)
            << row.row << "," << row.column;
}

TEST(ConfigDateTime, FormatsLocalTimeFromTheStandardTimeEpoch) {
    // zone, date, time, text
    const struct {
        const char* zone;
        uint32_t date, time;
        const char* text;
    } rows[] = {
        {kUtc, 0, 0, "01-Jan-1984 00:00:00:000"},
        {kUtc, 0, 90061001, "02-Jan-1984 01:01:01:001"},  // a time past one day carries
        {kUtc, 9132, 36000000, "01-Jan-2009 10:00:00:000"},
        {kUtc, 19742, 0, "19-Jan-2038 00:00:00:000"},
        {kUtc, 19743, 0, "20-Jan-2038 00:00:00:000"},  // past the 32-bit seconds limit
        {kUtc, 20454, 0, "01-Jan-2040 00:00:00:000"},
        {kUtc, 2927783, 86399999, "31-Dec-9999 23:59:59:999"},
        {kCentralEurope, 0, 0, "01-Jan-1984 00:00:00:000"},
        {kCentralEurope, 182, 43200000, "01-Jul-1984 13:00:00:000"},  // summer time shows
    };
    for (const auto& row : rows) {
        TimeZone zone(row.zone);
        EXPECT_EQ(FormatConfigDateTime(row.date, row.time), row.text)
            << row.zone << " " << row.date << " " << row.time;
    }
}

TEST(ConfigDateTime, ValidationNamesTheFirstFault) {
    TimeZone zone(kUtc);
    // text, message (nullptr: accepted)
    const std::pair<std::string, const char*> rows[] = {
        {"01-JAN-2009 10:00:00:000", nullptr},
        {"32-jan-2009 99:00:00:000", nullptr},  // ranges are not checked
        {"1-jan-2009 10:00:00:000",
         "Invalid date and time format. Too many or too few characters."},
        {"01-jan-2009 10:00:00:0000",
         "Invalid date and time format. Too many or too few characters."},
        {"", "Invalid date and time format. Too many or too few characters."},
        {std::string(120, '1'), "Invalid date and time format. Too many or too few characters."},
        {"01/jan/2009 10:00:00:000",
         "Invalid date and time format. Character \"-\" expected at position 2, but found \"/\""},
        {"01-jan-2009T10:00:00:000",
         "Invalid date and time format. Character \" \" expected at position 11, but found \"T\""},
        {"0a-jan-2009 10:00:00:000",
         "Invalid date and time format. Digit expected at position 1, but found \"a\""},
        {"01-j4n-2009 10:00:00:000",
         "Invalid date and time format. Letter expected at position 4, but found \"4\""},
        {"01-jan-2009 10:00:00:00x",
         "Invalid date and time format. Digit expected at position 23, but found \"x\""},
        {"01-jam-2009 10:00:00:000",
         "Invalid date and time format. Abbreviated month (jan, feb, ...) expected, but found "
         "\"jam\""},
        {"01-JAM-2009 10:00:00:000",
         "Invalid date and time format. Abbreviated month (jan, feb, ...) expected, but found "
         "\"jam\""},
        {"31-Dec-1983 23:59:59:999",
         "Invalid date and time. The date must not lie before 01-Jan-1984."},
    };
    for (const auto& [text, message] : rows) {
        const std::optional<std::string> error = DateTimeTextError(text);
        if (message == nullptr) {
            EXPECT_FALSE(error) << text << ": " << error.value_or("");
            EXPECT_TRUE(ParseConfigDateTime(text)) << text;
        } else {
            EXPECT_EQ(error.value_or("(accepted)"), message) << text;
            EXPECT_FALSE(ParseConfigDateTime(text)) << text;
        }
    }
}

TEST(ConfigDateTime, ParseTakesStandardTimeAndCarriesOutOfRangeFields) {
    // zone, text, date, time
    const struct {
        const char* zone;
        const char* text;
        uint32_t date, time;
    } rows[] = {
        {kUtc, "01-Jan-1984 00:00:00:000", 0, 0},
        {kUtc, "02-jan-1984 00:00:01:500", 1, 1500},
        {kUtc, "01-JAN-2009 10:00:00:000", 9132, 36000000},
        {kUtc, "32-Jan-2009 00:00:00:000", 9163, 0},  // 01-Feb-2009
        {kUtc, "01-Jan-1984 99:99:99:999", 4, 16839999},
        {kUtc, "20-Jan-2038 03:14:08:000", 19743, 11648000},
        {kUtc, "01-Jan-2040 00:00:00:000", 20454, 0},
        {kUtc, "31-Dec-9999 23:59:59:999", 2927783, 86399999},
        {kCentralEurope, "02-jan-1984 00:00:01:500", 1, 1500},
        {kCentralEurope, "01-Jul-1984 12:00:00:000", 182, 43200000},  // taken as standard time
    };
    for (const auto& row : rows) {
        TimeZone zone(row.zone);
        const std::optional<ConfigDateTime> parsed = ParseConfigDateTime(row.text);
        ASSERT_TRUE(parsed) << row.zone << " " << row.text;
        EXPECT_EQ(*parsed, (ConfigDateTime{row.date, row.time})) << row.zone << " " << row.text;
    }
    // Without daylight saving the text comes back as typed.
    TimeZone zone(kUtc);
    for (const char* text : {"05-Mar-2009 14:07:01:250", "29-Feb-2096 23:59:59:999"})
        EXPECT_EQ(
            FormatConfigDateTime(ParseConfigDateTime(text)->date, ParseConfigDateTime(text)->time),
            text);
}

}  // namespace
