// Rotation order, selection and timing on a virtual clock.
#include "hint_rotation.h"

#include <gtest/gtest.h>

#include "pennorak_constants.h"

namespace pennorak {
namespace {

using std::chrono::seconds;

const Clock::time_point kStart{seconds(1000)};
constexpr seconds kPeriod{30};

HintRotation threeHints() {
    std::vector<Hint> hints;
    for (const char* id : {"a", "b", "c"}) hints.push_back({id, id, "", "https://x/"});
    return HintRotation(std::move(hints), kPeriod);
}

TEST(HintRotation, RotatesOncePerPeriodInOrderFromTheLastRotation) {
    HintRotation rotation = threeHints();
    rotation.begin(-1, kStart);  // taken modulo the count
    EXPECT_EQ(rotation.deadline(), kStart + kPeriod);
    EXPECT_FALSE(rotation.rotateIfDue(kStart + kPeriod - seconds(1)));
    EXPECT_EQ(rotation.currentIndex(), 2u);

    Clock::time_point now = kStart;
    for (std::size_t expected : {0u, 1u, 2u, 0u}) {
        now += kPeriod;
        EXPECT_TRUE(rotation.rotateIfDue(now));
        EXPECT_EQ(rotation.currentIndex(), expected);
        EXPECT_FALSE(rotation.rotateIfDue(now)) << "one step per period";
    }

    // A late wake-up starts the next period from then; missed ones are not caught up.
    const Clock::time_point late = now + 5 * kPeriod;
    EXPECT_TRUE(rotation.rotateIfDue(late));
    EXPECT_EQ(rotation.currentIndex(), 1u);
    EXPECT_EQ(rotation.deadline(), late + kPeriod);

    // Restarting the period postpones the next hint.
    rotation.restartPeriod(late + seconds(20));
    EXPECT_FALSE(rotation.rotateIfDue(late + kPeriod));
    EXPECT_TRUE(rotation.rotateIfDue(late + seconds(20) + kPeriod));
}

}  // namespace
}  // namespace pennorak
