// The table of user-defined transmit messages, one per process. Loaded from
// its store at creation, written back at destruction. No Qt.
//
// Threads: records are replaced only on the UI thread (SetMessage); they are
// read on the UI thread and on the library's I/O thread (receive triggers).
// Every read and replacement of a record holds the table's lock, so a record
// is never seen half-replaced.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "trace/core/message_names.h"
#include "transmit/core/transmit_message.h"

// Where the records are kept between runs. Called on the thread that creates
// and destroys the table (the UI thread), with the table's lock held.
class TransmitStore {
public:
    virtual ~TransmitStore() = default;
    // Overwrites the fields of records[0 .. count) that the store holds.
    virtual void Load(TransmitMessage* records, int count) = 0;
    virtual void Save(const TransmitMessage* records, int count) = 0;
};

class TTransmit : public MessageNames {
public:
    // Allocates `messageCount` records with their defaults and loads them from
    // `store` (nullptr: kept in memory only; the store must outlive the table).
    // A negative count or a failed allocation leaves the table invalid: it then
    // behaves as an empty table and is never saved (see valid()).
    TTransmit(int messageCount, TransmitStore* store);
    ~TTransmit() override;
    TTransmit(const TTransmit&) = delete;
    TTransmit& operator=(const TTransmit&) = delete;

    // False when the records could not be allocated; the program then shows
    // "Unable to allocate memory for transmit messages".
    bool valid() const { return records_ != nullptr; }

    // MessageNames. Any thread.
    int Count() const override;
    uint32_t EffectiveId(int i) const override;     // 0 when invalid or out of range
    std::string DisplayName(int i) const override;  // empty when disabled

    // A copy of record i (name cut to 20 characters); false when the table is
    // invalid or i is out of range. Any thread.
    bool GetMessage(int i, TransmitMessage& out) const;
    // Replaces record i (name cut to 20 characters), then calls the change
    // listener. False when invalid or out of range. UI thread.
    bool SetMessage(int i, const TransmitMessage& message);

    // Called after every SetMessage with the index that changed (outside the
    // lock). One listener; an empty function removes it. UI thread.
    void SetChangeListener(std::function<void(int)> listener);

    // Reads the records from the store / writes them to it. UI thread.
    void LoadMessages();
    void SaveMessages() const;

private:
    bool inRange(int i) const { return valid() && i >= 0 && i < count_; }

    const int count_;
    TransmitStore* const store_;
    std::unique_ptr<TransmitMessage[]> records_;
    mutable std::mutex mutex_;
    std::function<void(int)> changeListener_;
};
