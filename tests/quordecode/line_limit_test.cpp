// quordecode's reading of candump lines: a line longer than 4096 characters
// is skipped with its reason (and never held whole).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "trace/quordecode/decode_options.h"
#include "trace/quordecode/decode_run.h"

namespace {

constexpr char kFrame[] = "(1436509052.249713) can0 000#0100\n";
constexpr char kTooLong[] = ": line longer than 4096 characters\n";

TEST(QuordecodeLineLimit, LongLinesAreSkippedWithTheirReason) {
    quordecode::DecodeOptions options;
    options.title = false;
    // Spaces make the longest line blank: 4096 is kept and ignored, 4097 is not.
    const std::string log = std::string(4096, ' ') + "\n" + std::string(4097, ' ') + "\n" + kFrame +
                            std::string(1 << 20, 'x') + "\n" + kFrame + std::string(10000, 'y');
    std::istringstream in(log);
    std::ostringstream out, errors;
    EXPECT_EQ(quordecode::RunDecode(in, out, errors, options, 0), quordecode::kExitLinesSkipped);
    EXPECT_EQ(errors.str(), std::string("quordecode: line 2") + kTooLong + "quordecode: line 4" +
                                kTooLong + "quordecode: line 6" + kTooLong);
    // Both frames decoded, numbered 1 and 2.
    EXPECT_EQ(out.str().rfind("1,Rx,1,000,", 0), 0u) << out.str();
    EXPECT_NE(out.str().find("\n2,Rx,1,000,"), std::string::npos) << out.str();
}

}  // namespace
