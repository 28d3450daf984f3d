// The exported C functions: argument checks, display callbacks on the
// service's thread, the hints file, closing and the link opener.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "pennorak/pennorak.h"
#include "support/child_process.h"

namespace {

namespace fs = std::filesystem;
using testsupport::waitUntil;

constexpr int32_t kLongPeriod = 86400;  // rotation never fires during a test

struct Shown {
    std::string text;
    std::string caption;
    std::thread::id thread;
};

// What the display callbacks received; callbacks are plain C functions.
struct ShownLog {
    void add(const char* text, const char* caption) {
        std::lock_guard lock(mutex);
        shown.push_back({text, caption, std::this_thread::get_id()});
    }
    std::vector<Shown> copy() {
        std::lock_guard lock(mutex);
        return shown;
    }
    std::size_t count() { return copy().size(); }
    Shown at(std::size_t index) { return copy().at(index); }
    std::mutex mutex;
    std::vector<Shown> shown;
};

ShownLog shownLog;
std::atomic<bool> slowCallbackEntered{false};
std::atomic<bool> slowCallbackFinished{false};
std::atomic<bool> closedInCallback{false};

void recordShown(const char* text, const char* caption) {
    shownLog.add(text, caption);
}

void slowRecordShown(const char* text, const char* caption) {
    slowCallbackEntered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // widens the race window
    shownLog.add(text, caption);
    slowCallbackFinished = true;
}

void closeFromCallback(const char* text, const char* caption) {
    shownLog.add(text, caption);
    pennorak_close();
    closedInCallback = true;
}

struct InitArgs {
    const char* appName = "pennorak_test";
    int32_t rotateSeconds = kLongPeriod;
    int32_t useHintsFile = 0;
    const char* hintsPath = nullptr;
    int32_t firstHint = 0;
    int32_t maxHints = 0;
    int32_t showLinks = 1;
    PennorakDisplayCallback display = recordShown;
};

int initService(const InitArgs& a) {
    return pennorak_init(a.appName, a.rotateSeconds, a.useHintsFile, a.hintsPath, nullptr,
                         a.firstHint, a.maxHints, 0, a.showLinks, "Quorvane", a.display, 0, 0x51u);
}

void addHints(std::initializer_list<std::string> ids) {
    for (const std::string& id : ids) {
        const std::string text = "text " + id, caption = "caption " + id,
                          link = "https://example.invalid/" + id;
        PennorakHint hint{id.c_str(), text.c_str(), caption.c_str(), link.c_str()};
        ASSERT_EQ(pennorak_addhint(&hint), 1) << id;
    }
}

bool waitForShown(std::size_t count) {
    return waitUntil([count] { return shownLog.count() >= count; });
}

class PennorakService : public testing::Test {
protected:
    void SetUp() override {
        shownLog.shown.clear();
        std::string pattern = (fs::temp_directory_path() / "pennorak_testXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        pennorak_close();
        unsetenv("PENNORAK_OPEN_COMMAND");
        fs::remove_all(dir_);
    }

    // Shows the next hint count-1 times; returns the texts of all shown.
    std::vector<std::string> walkHints(std::size_t count) {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) pennorak_selecthint(-2, 1, 1);
            if (!waitForShown(i + 1)) return texts;
            texts.push_back(shownLog.at(i).text);
        }
        return texts;
    }

    fs::path writeFile(const fs::path& name, const std::string& content) {
        const fs::path path = dir_ / name;
        std::ofstream(path) << content;
        return path;
    }

    // An opener that writes its argument count and first argument to a file.
    void installOpener() {
        const fs::path script = writeFile(
            "open.sh", "#!/bin/sh\nprintf '%s\\n%s' \"$#\" \"$1\" > \"" + (dir_ / "tmp").string() +
                           "\" && mv \"" + (dir_ / "tmp").string() + "\" \"" +
                           openedPath().string() + "\"\n");
        fs::permissions(script, fs::perms::owner_all);
        setenv("PENNORAK_OPEN_COMMAND", script.c_str(), 1);
    }
    fs::path openedPath() const { return dir_ / "opened"; }

    fs::path dir_;
};

TEST_F(PennorakService, InitChecksItsArguments) {
    const struct {
        const char* name;
        InitArgs args;
        int expected;
    } cases[] = {
        {"no display", {.display = nullptr}, 0},
        {"period 0", {.rotateSeconds = 0}, 0},
        {"period over a day", {.rotateSeconds = 86401}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(initService(c.args), c.expected) << c.name;
        pennorak_close();
    }
    ASSERT_EQ(initService({}), 1);
    EXPECT_EQ(initService({}), 0) << "already initialised";
}

TEST_F(PennorakService, AddHintRefusesMissingFieldsAndWrongPhase) {
    PennorakHint hint{"id", "text", "caption", "https://x/"};
    EXPECT_EQ(pennorak_addhint(&hint), 0) << "before init";
    ASSERT_EQ(initService({}), 1);
    EXPECT_EQ(pennorak_addhint(nullptr), 0);
    PennorakHint missing = hint;
    missing.link = nullptr;
    EXPECT_EQ(pennorak_addhint(&missing), 0);
    EXPECT_EQ(pennorak_addhint(&hint), 1);
    pennorak_start();
    EXPECT_EQ(pennorak_addhint(&hint), 0) << "after start";
}

TEST_F(PennorakService, StartShowsTheFirstHintOnTheServiceThreadThenSelectMoves) {
    ASSERT_EQ(initService({.firstHint = 4}), 1);  // taken modulo the count
    addHints({"a", "b", "c"});
    pennorak_selecthint(2, 1, 1);  // ignored before start
    pennorak_start();
    ASSERT_TRUE(waitForShown(1));
    const Shown first = shownLog.at(0);
    EXPECT_EQ(first.text, "text b");
    EXPECT_EQ(first.caption, "caption b");
    EXPECT_NE(first.thread, std::this_thread::get_id());
    std::size_t shown = 1;
    for (const char* text : {"text a", "text c"}) {  // previous, then around the start
        pennorak_selecthint(-1, 1, 1);
        ASSERT_TRUE(waitForShown(++shown));
        EXPECT_EQ(shownLog.at(shown - 1).text, text);
    }
}

TEST_F(PennorakService, RotationShowsTheNextHintWhenThePeriodEnds) {
    ASSERT_EQ(initService({.rotateSeconds = 1}), 1);
    addHints({"a", "b"});
    pennorak_start();
    ASSERT_TRUE(waitForShown(2));
    EXPECT_EQ(shownLog.at(1).text, "text b");
}

TEST_F(PennorakService, CloseWaitsForARunningCallback) {
    slowCallbackEntered = slowCallbackFinished = false;
    ASSERT_EQ(initService({.display = slowRecordShown}), 1);
    addHints({"old"});
    pennorak_start();
    ASSERT_TRUE(waitUntil([] { return slowCallbackEntered.load(); }));
    pennorak_close();
    EXPECT_TRUE(slowCallbackFinished) << "close returned while the callback ran";
}

TEST_F(PennorakService, CloseFromTheCallbackEndsTheServiceAndAllowsANewInit) {
    closedInCallback = false;
    ASSERT_EQ(initService({.display = closeFromCallback}), 1);
    addHints({"a"});
    pennorak_start();
    ASSERT_TRUE(waitUntil([] { return closedInCallback.load(); }));

    shownLog.shown.clear();
    ASSERT_EQ(initService({}), 1);
    addHints({"new"});
    pennorak_start();
    EXPECT_EQ(walkHints(2), (std::vector<std::string>{"text new", "text new"}))
        << "hints of the closed service are forgotten";
}

TEST_F(PennorakService, HintsFileHintsFollowTheAddedOnes) {
    const fs::path file = writeFile("hints.txt",
                                    "f1|from file 1|more|https://f/1\n"
                                    "malformed\n"
                                    "fx|bad scheme|more|mailto:someone\n"
                                    "f2|from file 2|more|https://f/2\n"
                                    "f3|from file 3|more|https://f/3\n");
    ASSERT_EQ(
        initService({.useHintsFile = 1, .hintsPath = file.c_str(), .maxHints = 2, .showLinks = 0}),
        1);
    addHints({"a"});
    pennorak_start();
    EXPECT_EQ(walkHints(4),
              (std::vector<std::string>{"text a", "from file 1", "from file 2", "text a"}));
    EXPECT_EQ(shownLog.at(1).caption, "") << "links hidden";
}

TEST_F(PennorakService, HintClickOpensOnlyWebOrFileLinksAsTheOnlyArgument) {
    installOpener();
    ASSERT_EQ(initService({}), 1);
    PennorakHint script{"id", "text", "caption", "javascript:alert(1)"};
    ASSERT_EQ(pennorak_addhint(&script), 1);
    const std::string link = "https://example.invalid/?q=$(touch${IFS}x);`id`|cat&a='b'\"c\"";
    PennorakHint hint{"shell", "text", "caption", link.c_str()};
    ASSERT_EQ(pennorak_addhint(&hint), 1);
    pennorak_start();
    pennorak_selecthint(0, 0, 0);  // move without showing
    pennorak_hintclick();          // returns after the opener would have ended
    EXPECT_FALSE(fs::exists(openedPath()));
    pennorak_selecthint(1, 0, 0);
    pennorak_hintclick();
    ASSERT_TRUE(waitUntil([this] { return fs::exists(openedPath()); }));
    std::ifstream opened(openedPath());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(opened), {}), "1\n" + link);
    EXPECT_FALSE(fs::exists(fs::current_path() / "x"));
}

}  // namespace
