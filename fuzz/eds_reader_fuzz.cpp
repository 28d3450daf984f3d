// quorsim's EDS reader: any text gives a dictionary or one error naming the
// fault; a dictionary's entries can be read back.
#include <string_view>
#include <vector>

#include "eds_loader.h"
#include "fuzz_targets.h"

namespace quorvane_fuzz {

int FuzzEdsReader(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t node = static_cast<std::uint8_t>(data[0] % 127 + 1);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const quorsim::EdsResult result = quorsim::parseEds(text, node);
    FUZZ_CHECK(result.dictionary.has_value() == result.error.empty());
    if (!result.dictionary) return 0;
    quorsim::ObjectDictionary od = *result.dictionary;
    FUZZ_CHECK(od.size() > 0);
    std::vector<std::uint8_t> value;
    for (unsigned index : {0x1000u, 0x1008u, 0x1017u, 0x1018u, 0x2000u, 0x6000u})
        for (unsigned sub = 0; sub < 4; ++sub)
            (void)od.read(static_cast<std::uint16_t>(index), static_cast<std::uint8_t>(sub), value);
    return 0;
}

}  // namespace quorvane_fuzz
