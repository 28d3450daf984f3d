// The fuzz targets: each takes one input of any bytes, drives one reader or
// engine with it and checks what must hold whatever the input. A broken
// check aborts (FUZZ_CHECK), as does any sanitizer finding. Built into the
// libFuzzer programs (clang, QUORVANE_FUZZ=ON) and into the replay test of
// fuzz/regressions/ (any compiler).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace quorvane_fuzz {

// Returns 0, as libFuzzer wants.
using FuzzFunction = int (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name;  // program fuzz_NAME, folders fuzz/seeds/NAME, fuzz/regressions/NAME
    FuzzFunction run;
};

int FuzzQuorcmdReader(const std::uint8_t* data, std::size_t size);
int FuzzSocketcandClient(const std::uint8_t* data, std::size_t size);
int FuzzQuorbusSession(const std::uint8_t* data, std::size_t size);
int FuzzCandumpReader(const std::uint8_t* data, std::size_t size);
int FuzzSdoClient(const std::uint8_t* data, std::size_t size);
int FuzzSdoServer(const std::uint8_t* data, std::size_t size);
int FuzzSdoConversation(const std::uint8_t* data, std::size_t size);
int FuzzEdsReader(const std::uint8_t* data, std::size_t size);

// Every target, by name.
std::span<const FuzzTarget> AllTargets();

}  // namespace quorvane_fuzz

// Aborts with the condition's text when it does not hold.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
