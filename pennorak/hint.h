// One hint as the service keeps it: owned copies of the four texts.
#pragma once

#include <string>

namespace pennorak {

struct Hint {
    std::string id;
    std::string text;
    std::string caption;
    std::string link;

    bool operator==(const Hint&) const = default;
};

}  // namespace pennorak
