// Running the opener program.
#include "link_opener.h"

#include <gtest/gtest.h>

namespace pennorak {
namespace {

TEST(LinkOpener, ReportsTheOpenersExitStatus) {
    EXPECT_EQ(runOpener("true", "https://x/"), 0);
    EXPECT_EQ(runOpener("false", "https://x/"), 1);
    EXPECT_EQ(runOpener("/nonexistent/opener", "https://x/"), -1);
    EXPECT_EQ(runOpener("", "https://x/"), -1);
}

}  // namespace
}  // namespace pennorak
