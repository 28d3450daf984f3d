#include "transmit/core/transmit_table.h"

#include <new>


TTransmit::TTransmit(int messageCount, TransmitStore* store)
    : count_(messageCount), store_(store) {
    if (messageCount < 0) return;
    records_.reset(new (std::nothrow) TransmitMessage[static_cast<size_t>(messageCount)]);
    if (records_) LoadMessages();
}

TTransmit::~TTransmit() {
    SaveMessages();
}

int TTransmit::Count() const {
    return valid() ? count_ : 0;
}

uint32_t TTransmit::EffectiveId(int i) const {
    if (!inRange(i)) return 0;
    std::lock_guard guard(mutex_);
    return ::EffectiveId(records_[i]);
}

std::string TTransmit::DisplayName(int i) const {
    if (!inRange(i)) return {};
    std::lock_guard guard(mutex_);
    const TransmitMessage& record = records_[i];
    return record.enable ? record.name : std::string();
}

bool TTransmit::GetMessage(int i, TransmitMessage& out) const {
    if (!inRange(i)) return false;
    std::lock_guard guard(mutex_);
    out = records_[i];
    out.name = CutName(out.name);
    return true;
}

bool TTransmit::SetMessage(int i, const TransmitMessage& message) {
    if (!inRange(i)) return false;
    TransmitMessage cut = message;
    cut.name = CutName(cut.name);
    {
        std::lock_guard guard(mutex_);
        records_[i] = std::move(cut);
    }
    if (changeListener_) changeListener_(i);
    return true;
}

void TTransmit::SetChangeListener(std::function<void(int)> listener) {
    changeListener_ = std::move(listener);
}

void TTransmit::LoadMessages() {
    if (!valid() || store_ == nullptr) return;
    std::lock_guard guard(mutex_);
    store_->Load(records_.get(), count_);
}

void TTransmit::SaveMessages() const {
    if (!valid() || store_ == nullptr) return;
    std::lock_guard guard(mutex_);
    store_->Save(records_.get(), count_);
}
