// quorvane shares its bus: a frame a quorshare client has quorvane send comes
// back, through the transmit callback and a forwarding pass of the main
// window's tick, to a quorshare dump.
#include <stdlib.h>

#include <filesystem>

#include "main_window_fixture.h"
#include "sharing/messaging.h"

namespace {

using testsupport::ChildProcess;
using testsupport::programPath;

TEST_F(MainWindowTest, FramesASharingClientSendsReachAnotherClient) {
    char folder[] = "/tmp/quorvane-share-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const char* before = getenv("XDG_RUNTIME_DIR");
    const std::string previous = before != nullptr ? before : "";
    setenv("XDG_RUNTIME_DIR", folder, 1);
    const std::vector<std::string> environment = {std::string("XDG_RUNTIME_DIR=") + folder};
    createApp();
    openInterface();
    TMessaging& messaging = app->objects().messaging;
    ASSERT_TRUE(messaging.serving());

    // Only identifier 0 (NMT): quorsim's heartbeats stay out.
    ChildProcess dump(
        programPath("quorshare"),
        {"dump", "--count", "1", "--filter", "FFFFFFFF:0@0", "--filter", "0000FFFF:0000FFFF@1"},
        environment);
    ASSERT_TRUE(guitest::waitFor([&] { return messaging.clientCount() == 1; }));
    ChildProcess send(programPath("quorshare"), {"send", "000#0105"}, environment);
    ASSERT_TRUE(guitest::waitFor([&] { return dump.wait(std::chrono::milliseconds(1)) >= 0; }));
    EXPECT_EQ(send.wait(), 0) << send.errors();
    EXPECT_NE(dump.output().find(" quorvane 000#0105\n"), std::string::npos) << dump.output();
    main()->close();
    EXPECT_FALSE(messaging.serving());
    std::filesystem::remove_all(folder);
    if (before != nullptr) {
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

}  // namespace
