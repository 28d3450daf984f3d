// Fixed values of the hint service: limits, selection codes, file layout and
// the opener's environment variable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pennorak {

// Rotation period accepted by pennorak_init, in seconds.
inline constexpr std::int32_t kMinRotateSeconds = 1;
inline constexpr std::int32_t kMaxRotateSeconds = 86400;

// pennorak_selecthint's `which` codes; 0 and above name an index.
inline constexpr std::int32_t kSelectNext = -2;
inline constexpr std::int32_t kSelectPrevious = -1;

// Hints file: one hint per line, id|text|caption|link.
inline constexpr std::size_t kMaxLineLength = 4096;  // longer lines are skipped
inline constexpr char kFieldSeparator = '|';
inline constexpr std::size_t kFieldCount = 4;
inline constexpr char kCommentMark = '#';

// Default hints file: <config home>/<folder>/<appName><suffix>.
inline constexpr char kConfigHomeVariable[] = "XDG_CONFIG_HOME";
inline constexpr char kHomeVariable[] = "HOME";
inline constexpr std::string_view kConfigHomeUnderHome = ".config";
inline constexpr std::string_view kHintsFolder = "Trelvik-System";
inline constexpr std::string_view kHintsFileSuffix = "-hints.txt";

// Link schemes the opener is given; other links are never opened.
inline constexpr std::string_view kOpenableSchemes[] = {"http://", "https://", "file://"};

// The opener: the program named by this variable, else the desktop's default.
inline constexpr char kOpenCommandVariable[] = "PENNORAK_OPEN_COMMAND";
inline constexpr std::string_view kDefaultOpener = "xdg-open";

}  // namespace pennorak
