#include "node/hint_banner.h"

#include <QMetaObject>
#include <thread>

#include "gui/web_links.h"
#include "pennorak/pennorak.h"
#include "sync/callback_target.h"

namespace {

// The banner that receives the service's hints (one service per process).
quorvane::CallbackTarget<HintBanner> displayTarget;

constexpr int32_t kRotateSeconds = 120;
constexpr int32_t kMaxFileHints = 3;
constexpr uint32_t kApplicationConstant = 0x51564E31;  // "QVN1"

const PennorakHint kBuiltInHints[] = {
    {"quorvanelite1",
     "Trace every frame on the bus, decoded: View > Trace shows NMT, SDO, PDO and emergencies "
     "as readable text.",
     "Learn more about Quorvane", weblinks::kQuorvaneHome},
    {"quorvanelite2", "No CAN hardware at hand? quorsim plays CANopen devices on the virtual bus.",
     "Quorvane home page", weblinks::kQuorvaneHome},
    {"quorvanelite3",
     "Trelvik Kestra adapters connect your PC to CAN through USB, PCI, ISA or the printer port.",
     "Trelvik interfaces", weblinks::kTrelvikHome},
    {"quorvanelite4",
     "Script your node set-up with quorcmd: the same reads, writes and NMT commands, unattended.",
     "Morvell CANopen tools", weblinks::kMorvellHome},
};

}  // namespace

HintBanner::HintBanner(QObject* parent) : QObject(parent) {}

HintBanner::~HintBanner() {
    close();
}

bool HintBanner::start() {
    if (active_) return true;
    displayTarget.attach(this);
    bool ok = pennorak_init("Quorvane", kRotateSeconds, 1, nullptr, weblinks::kQuorvaneHome, 0,
                            kMaxFileHints, 1, 1, "Quorvane", &HintBanner::displayCallback, 0,
                            kApplicationConstant) == 1;
    for (const PennorakHint& hint : kBuiltInHints) {
        if (!ok) break;
        ok = pennorak_addhint(&hint) == 1;
    }
    if (!ok) {
        // A half-initialised service is released again.
        pennorak_close();
        displayTarget.detach(this);
        return false;
    }
    pennorak_start();
    active_ = true;
    return true;
}

void HintBanner::close() {
    if (!active_) return;
    pennorak_close();
    active_ = false;
    displayTarget.detach(this);
}

void HintBanner::next() {
    if (active_) pennorak_selecthint(-2, 1, 1);
}

void HintBanner::click() {
    if (!active_) return;
    std::thread([] { pennorak_hintclick(); }).detach();
}

void HintBanner::displayCallback(const char* text, const char* caption) {
    const QString hint = QString::fromUtf8(text), link = QString::fromUtf8(caption);
    displayTarget.invoke([&](HintBanner& banner) {
        // Queued: runs on the UI thread, dropped if the banner is gone by then.
        QMetaObject::invokeMethod(
            &banner, [&banner, hint, link] { Q_EMIT banner.hintChanged(hint, link); },
            Qt::QueuedConnection);
    });
}
