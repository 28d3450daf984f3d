#include "trace/core/frame_name.h"

#include "trace/core/message_names.h"

void MessageNameSnapshot::Take(const MessageNames* names) {
    const int count = names != nullptr ? names->Count() : 0;
    entries_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Entry& entry = entries_[static_cast<std::size_t>(i)];
        entry.identifier = names->EffectiveId(i);
        std::string name = names->DisplayName(i);
        if (!entry.name || *entry.name != name) {
            entry.name = std::make_shared<const std::string>(std::move(name));
        }
    }
}

const FrameName& MessageNameSnapshot::Find(uint32_t identifier) const {
    for (const Entry& entry : entries_) {
        if (entry.identifier == identifier) return entry.name;
    }
    return none_;
}
