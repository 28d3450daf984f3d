#include <array>

#include "fuzz_targets.h"

namespace quorvane_fuzz {

std::span<const FuzzTarget> AllTargets() {
    static constexpr std::array<FuzzTarget, 8> kTargets{{
        {"quorcmd_reader", FuzzQuorcmdReader},
        {"socketcand_client", FuzzSocketcandClient},
        {"quorbus_session", FuzzQuorbusSession},
        {"candump_reader", FuzzCandumpReader},
        {"sdo_client", FuzzSdoClient},
        {"sdo_server", FuzzSdoServer},
        {"sdo_conversation", FuzzSdoConversation},
        {"eds_reader", FuzzEdsReader},
    }};
    return kTargets;
}

}  // namespace quorvane_fuzz
