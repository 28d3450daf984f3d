// EDS files: the shipped example, value forms, and errors that name the line.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>

#include "eds_loader.h"

namespace quorsim {
namespace {

const std::string kExample =
    std::string(QUORVANE_SOURCE_DIR) + "/sim/quorsim/examples/quorsim_io_module.eds";

TEST(QuorsimEds, ExampleFileLoads) {
    const EdsResult r = loadEdsFile(kExample, 7);
    ASSERT_TRUE(r.dictionary) << r.error;
    ObjectDictionary od = *r.dictionary;
    EXPECT_EQ(od.number(0x1018, 4), 0x2007u) << "$NODEID+0x2000";
    EXPECT_EQ(od.number(0x2001, 0), std::bit_cast<std::uint32_t>(1.5f));
    EXPECT_EQ(od.find(0x6200, 0)->access, Access::ReadWrite) << "rww";

    std::vector<std::uint8_t> value;
    ASSERT_EQ(od.read(0x1008, 0, value), 0u);
    EXPECT_EQ(std::string(value.begin(), value.end()), "Quorsim IO Module");
    EXPECT_EQ(od.write(0x2002, 0, std::vector<std::uint8_t>(300, 1)), 0u) << "domain capacity";
}

TEST(QuorsimEds, ValueFormsAndNodeId) {
    const std::tuple<const char*, const char*, std::uint64_t> cases[] = {
        {"0x0007", "010", 8},  // octal
        {"0x0007", "$NODEID+0x180", 0x189},
        {"0x0007", "0x200 + $nodeid", 0x209},
        {"0x0007", "", 0},
        {"0x0002", "-128", 0x80},
        {"0x001B", "0xFFFFFFFFFFFFFFFF", 0xFFFFFFFFFFFFFFFF},
    };
    for (const auto& [data_type, default_value, expected] : cases) {
        const std::string text = std::string("[2000]\nDataType=") + data_type +
                                 "\nAccessType=rw\nDefaultValue=" + default_value + "\n";
        const EdsResult r = parseEds(text, 9);
        ASSERT_TRUE(r.dictionary) << default_value << ": " << r.error;
        EXPECT_EQ(r.dictionary->number(0x2000, 0), expected) << default_value;
    }
}

TEST(QuorsimEds, MalformedFilesNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        // text, part of the error
        {"[1000\nDataType=0x0007\n", "line 1: malformed section header"},
        {"DataType=0x0007\n[1000]\n", "line 1: KEY=VALUE before the first [SECTION]"},
        {"; comment\n[1000]\nAccessType=ro\n", "line 2: [1000] DataType is missing"},
        {"[1000]\nDataType=0x0099\nAccessType=ro\n",
         "line 2: [1000] DataType '0x0099' is not supported"},
        {"[1000]\nDataType=0x0007\nAccessType=rx\n", "line 3: [1000] AccessType 'rx'"},
        {"[1000]\nDataType=0x0005\nAccessType=ro\nDefaultValue=256\n",
         "line 4: [1000] DefaultValue '256'"},
        {"[1000]\nDataType=0x000F\nAccessType=rw\nDefaultValue=ABC\n",
         "line 4: [1000] DefaultValue 'ABC' is not hex"},
        {"[1000]\nObjectType=0x4\n", "line 2: [1000] ObjectType '0x4'"},
        {"\n\n[1018sub1]\nDataType=0x0007\nAccessType=ro\n",
         "line 3: [1018sub1] has no object section [1018]"},
        {"[1018]\nDataType=0x0007\nAccessType=ro\n[1018sub1]\nDataType=0x0007\nAccessType=ro\n",
         "line 4: [1018sub1] belongs to an object that is not an ARRAY or RECORD"},
        {"[1018]\nObjectType=0x9\nCompactSubObj=3\n",
         "line 3: [1018] CompactSubObj is not supported"},
        {"[1000]\nDataType=7\nAccessType=ro\n[1000]\nDataType=7\nAccessType=ro\n",
         "line 4: object [1000] appears twice"},
        {"[FileInfo]\nFileName=x.eds\n", "no object sections"},
    };
    for (const auto& [text, expected] : cases) {
        const EdsResult r = parseEds(text, 1);
        EXPECT_FALSE(r.dictionary) << text;
        EXPECT_NE(r.error.find(expected), std::string::npos) << text << "\ngot: " << r.error;
    }
}

TEST(QuorsimEds, FilesAbove16MiBAreRefused) {
    EXPECT_EQ(loadEdsFile("/dev/zero", 1).error, "/dev/zero: larger than 16 MiB");
    const std::string path = testing::TempDir() + "quorsim_large.eds";
    std::string text = "[1000]\nDataType=0x0007\nAccessType=ro\n";
    text.resize(kMaxEdsFileBytes, '\n');
    for (const bool too_large : {false, true}) {
        std::ofstream(path, std::ios::binary) << text << (too_large ? "\n" : "");
        const EdsResult r = loadEdsFile(path, 1);
        EXPECT_EQ(r.dictionary.has_value(), !too_large) << r.error;
        EXPECT_EQ(r.error, too_large ? path + ": larger than 16 MiB" : "");
    }
    std::remove(path.c_str());
}

TEST(QuorsimEds, ListsAndTypeDefinitionsAreNotObjects) {
    const char* text =
        "[MandatoryObjects]\nSupportedObjects=1\n1=0x1000\n"
        "[0007]\nObjectType=0x5\nDataType=0x0007\nAccessType=ro\n"  // a data type definition
        "[1000]\r\nParameterName = Device type \r\nDataType=0x0007\r\nAccessType=RO\r\n"
        "DefaultValue=0x191\r\n";
    const EdsResult r = parseEds(text, 1);
    ASSERT_TRUE(r.dictionary) << r.error;
    EXPECT_EQ(r.dictionary->size(), 1u);
    EXPECT_EQ(r.dictionary->number(0x1000, 0), 0x191u);
    EXPECT_EQ(r.dictionary->find(0x1000, 0)->name, "Device type");
}

}  // namespace
}  // namespace quorsim
