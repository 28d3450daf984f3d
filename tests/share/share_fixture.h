// A quorvane stand-in for the client library and quorshare: the real
// TMessaging serving in this process, under a private XDG_RUNTIME_DIR, with
// a fake frame sender that records what would have been transmitted.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "share/frame_text.h"
#include "sharing/messaging.h"
#include "support/child_process.h"

namespace sharetest {

class ShareFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/quorshare-test-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir_ = folder;
        const char* before = getenv("XDG_RUNTIME_DIR");
        if (before != nullptr) previousRuntimeDir_ = before;
        hadRuntimeDir_ = before != nullptr;
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        messaging_.reset();
        if (hadRuntimeDir_) {
            setenv("XDG_RUNTIME_DIR", previousRuntimeDir_.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        std::filesystem::remove_all(dir_);
    }

    TMessaging::Options options() {
        TMessaging::Options o;  // the socket at its standard place
        o.send = [this](const CanFrame& frame) {
            std::lock_guard guard(sentMutex_);
            sent_.push_back(frame);
        };
        return o;
    }
    TMessaging& startQuorvane(TMessaging::Options o) {
        messaging_ = std::make_unique<TMessaging>(std::move(o));
        messaging_->Start();
        EXPECT_TRUE(messaging_->serving());
        return *messaging_;
    }
    TMessaging& startQuorvane() { return startQuorvane(options()); }

    // A frame in quorshare's notation, recorded as a library callback would.
    void record(const std::string& text) {
        const auto frame = share::ParseFrameText(text);
        ASSERT_TRUE(frame) << text;
        messaging_->RecordFrame(frame->id, frame->length, 0, 0,
                                (frame->flags & QUORSHARE_FLAG_REMOTE) != 0,
                                (frame->flags & QUORSHARE_FLAG_EXTENDED) != 0, frame->data);
    }
    void forward() { messaging_->StartForwardingPass(); }

    std::vector<std::string> sentTexts() {
        std::lock_guard guard(sentMutex_);
        std::vector<std::string> texts;
        for (const CanFrame& frame : sent_) {
            QuorshareFrame shared{};
            static_assert(sizeof shared == sizeof frame);
            std::memcpy(&shared, &frame, sizeof frame);
            texts.push_back(share::FrameText(shared));
        }
        return texts;
    }

    std::vector<std::string> environment() const { return {"XDG_RUNTIME_DIR=" + dir_}; }

    std::string dir_;
    std::unique_ptr<TMessaging> messaging_;

private:
    std::string previousRuntimeDir_;
    bool hadRuntimeDir_ = false;
    std::mutex sentMutex_;
    std::vector<CanFrame> sent_;
};

}  // namespace sharetest
