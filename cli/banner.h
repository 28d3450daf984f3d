// The lines quorcmd prints first on every run.
#pragma once

namespace quorcmd {

inline constexpr const char* kBanner =
    "Quorvane Command Line Version 1.90\n"
    "Copyright (c) Trelvik-System. All rights reserved.\n";

}  // namespace quorcmd
