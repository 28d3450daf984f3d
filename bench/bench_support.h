// Small helpers the benchmarks share: CPU time and quorsim's answer lines.
#pragma once

#include <sys/resource.h>

#include <cstdlib>
#include <string>

namespace bench {

// User plus system CPU seconds of a getrusage record.
inline double cpuSeconds(const rusage& usage) {
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU seconds so far of RUSAGE_SELF or RUSAGE_THREAD.
inline double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return cpuSeconds(usage);
}

// The number after `word` in a quorsim answer line ("ok ... load 123 ..."), or -1.
inline long long numberAfter(const std::string& line, const std::string& word) {
    const std::size_t at = line.find(" " + word + " ");
    if (at == std::string::npos) return -1;
    return std::atoll(line.c_str() + at + word.size() + 2);
}

}  // namespace bench
