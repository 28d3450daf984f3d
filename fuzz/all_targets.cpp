#include <array>

#include "fuzz_targets.h"

namespace quorvane_fuzz {

std::span<const FuzzTarget> AllTargets() {
    static constexpr std::array<FuzzTarget, 7> kTargets{{
        {"quorcmd_reader", FuzzQuorcmdReader},
        {"socketcand_client", FuzzSocketcandClient},
        {"quorbus_session", FuzzQuorbusSession},
        {"candump_reader", FuzzCandumpReader},
        {"sdo_client", FuzzSdoClient},
        {"sdo_server", FuzzSdoServer},
        {"eds_reader", FuzzEdsReader},
    }};
    return kTargets;
}

}  // namespace quorvane_fuzz
