// The channel functions of the shared library: resolution order with its
// source, checking, saving into the per-user file, listing. The environment
// and XDG_CONFIG_HOME point at a private folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "canlib/morvellchannels.h"

namespace {

class ChannelApi : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "channel_api_XXXXXX";
        folder = ::mkdtemp(pattern.data());
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        unsetenv("MORVELLCANOPEN_CHANNEL");
        path = folder + "/Trelvik-System/morvellcanopen.conf";
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string fileText() const {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ChannelResolution resolve(int32_t code, uint8_t device = 255, int32_t expected_code = 0) {
        ChannelResolution resolution{};
        LibraryResult result{};
        HwUsbModuleParams module{125, device};
        Channel_Resolve(code, &module, &resolution, &result);
        EXPECT_EQ(result.code, expected_code) << result.text;
        return resolution;
    }

    std::string folder, path;
};

TEST_F(ChannelApi, DefaultsThenFileThenEnvironment) {
    struct Row {
        int32_t code;
        uint8_t device;
        const char* channel;
    } defaults[] = {
        {HW_PARALLEL_DONGLE, 255, "virtual:vbus0"},
        {HW_USB, 255, "socketcan:can0"},
        {HW_USB_MODULE, 3, "socketcan:can3"},
        {HW_USB_MODULE, 255, "socketcan:can0"},
        {HW_PCI, 255, "socketcan:can0"},
        {HW_ISA, 255, "socketcan:can0"},
    };
    for (const Row& row : defaults) {
        const ChannelResolution r = resolve(row.code, row.device);
        EXPECT_STREQ(r.channel, row.channel) << row.code;
        EXPECT_EQ(r.source, CHANNEL_FROM_DEFAULT);
        EXPECT_STREQ(r.origin, "");
    }

    LibraryResult result{};
    Channel_Save(HW_USB, "socketcand:gw/can1", &result);
    ASSERT_EQ(result.code, 0) << result.text;
    EXPECT_EQ(fileText(), "adapter2 = socketcand:gw:29536/can1\n");
    ChannelResolution r = resolve(HW_USB);
    EXPECT_STREQ(r.channel, "socketcand:gw:29536/can1");
    EXPECT_EQ(r.source, CHANNEL_FROM_FILE);
    EXPECT_EQ(r.origin, path);
    EXPECT_STREQ(resolve(HW_PCI).channel, "socketcan:can0");  // other adapters keep theirs

    setenv("MORVELLCANOPEN_CHANNEL", "virtual:lab", 1);
    r = resolve(HW_USB);
    EXPECT_STREQ(r.channel, "virtual:lab");
    EXPECT_EQ(r.source, CHANNEL_FROM_ENVIRONMENT);
    EXPECT_STREQ(r.origin, "MORVELLCANOPEN_CHANNEL");
    unsetenv("MORVELLCANOPEN_CHANNEL");

    Channel_Save(HW_USB, "", &result);  // back to the default
    ASSERT_EQ(result.code, 0) << result.text;
    EXPECT_EQ(fileText(), "");
    EXPECT_EQ(resolve(HW_USB).source, CHANNEL_FROM_DEFAULT);
}

TEST_F(ChannelApi, MalformedTextsAreRefusedWithTheReasonAndNothingIsSaved) {
    LibraryResult result{};
    Channel_Save(HW_ISA, "virtual:lab", &result);
    ASSERT_EQ(result.code, 0);
    for (const char* text : {"can0", "socketcand:gw", "socketcan:", "virtual:a b"}) {
        Channel_Save(HW_ISA, text, &result);
        EXPECT_EQ(result.code, 7) << text;
        EXPECT_NE(std::string(result.text).find(text), std::string::npos) << result.text;
        Channel_Check(text, &result);
        EXPECT_EQ(result.code, 7) << text;
    }
    EXPECT_EQ(fileText(), "adapter5 = virtual:lab\n");

    Channel_Check(" virtual ", &result);
    EXPECT_EQ(result.code, 0);
    EXPECT_STREQ(result.text, "virtual:vbus0");

    // A malformed value in the file resolves as found, with the reason.
    std::ofstream(path) << "adapter5 = pcan:usb\n";
    const ChannelResolution r = resolve(HW_ISA, 255, 7);
    EXPECT_STREQ(r.channel, "pcan:usb");
    EXPECT_EQ(r.source, CHANNEL_FROM_FILE);
}

TEST_F(ChannelApi, BadArgumentsAreCode4WithTheParameterNumber) {
    ChannelResolution resolution{};
    LibraryResult result{};
    const auto parameter = [&] { return result.code == 4 ? int(result.text[0]) : -1; };
    Channel_Resolve(0, nullptr, &resolution, &result);
    EXPECT_EQ(parameter(), 1);
    Channel_Resolve(HW_USB_MODULE, nullptr, &resolution, &result);
    EXPECT_EQ(parameter(), 2);
    Channel_Resolve(HW_USB, nullptr, nullptr, &result);
    EXPECT_EQ(parameter(), 3);
    Channel_Save(6, "virtual", &result);
    EXPECT_EQ(parameter(), 1);
    Channel_Check(nullptr, &result);
    EXPECT_EQ(parameter(), 1);
    int32_t count = 0;
    Channel_ListInterfaces(nullptr, 2, &count, &result);
    EXPECT_EQ(parameter(), 1);
    Channel_ListInterfaces(nullptr, 0, nullptr, &result);
    EXPECT_EQ(parameter(), 3);
    // The no-argument forms succeed.
    Channel_Resolve(HW_USB, nullptr, &resolution, &result);
    EXPECT_EQ(result.code, 0);
    Channel_ListInterfaces(nullptr, 0, &count, &result);
    EXPECT_EQ(result.code, 0);
    EXPECT_GE(count, 0);
}

TEST_F(ChannelApi, AnUnwritableFileIsRefusedWithThePath) {
    std::ofstream(folder + "/Trelvik-System") << "a file where the folder should be";
    LibraryResult result{};
    Channel_Save(HW_USB, "virtual", &result);
    EXPECT_EQ(result.code, 7);
    EXPECT_NE(std::string(result.text).find(folder + "/Trelvik-System"), std::string::npos)
        << result.text;
}

}  // namespace
