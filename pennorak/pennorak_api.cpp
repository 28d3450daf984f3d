// The six exported C functions, forwarding to the process's one HintService.
#include <type_traits>

#include "hint_service.h"
#include "pennorak.h"

#define PENNORAK_EXPORT __attribute__((visibility("default")))

namespace {

// The one service of the process; closed (its thread joined) at exit.
pennorak::HintService& processService() {
    static pennorak::HintService service;
    return service;
}

std::string textOrEmpty(const char* text) {
    return text == nullptr ? std::string() : text;
}

// No exception crosses the C boundary: a function that meets one fails
// (0) or does nothing.
template <class Body>
auto guarded(Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        if constexpr (!std::is_void_v<decltype(body())>) return 0;
    }
}

}  // namespace

extern "C" {

PENNORAK_EXPORT int pennorak_init(const char* appName, int32_t rotateSeconds, int32_t useHintsFile,
                                  const void* requestScript, const void* hintList,
                                  int32_t firstHint, int32_t maxHints, int32_t shuffle,
                                  int32_t showLinks, const char* appTitle,
                                  PennorakDisplayCallback display, int32_t /*reserved*/,
                                  uint32_t appConstant) {
    return guarded([&]() -> int {
        if (display == nullptr) return 0;
        pennorak::ServiceSettings settings;
        settings.appName = textOrEmpty(appName);
        settings.rotateSeconds = rotateSeconds;
        settings.useHintsFile = useHintsFile != 0;
        if (requestScript != nullptr) settings.hintsPath = static_cast<const char*>(requestScript);
        settings.hintList = textOrEmpty(static_cast<const char*>(hintList));
        settings.firstHint = firstHint;
        settings.maxFileHints = maxHints > 0 ? static_cast<std::size_t>(maxHints) : 0;
        settings.shuffle = shuffle != 0;
        settings.showLinks = showLinks != 0;
        settings.appTitle = textOrEmpty(appTitle);
        settings.display = display;
        settings.appConstant = appConstant;
        return processService().init(std::move(settings)) ? 1 : 0;
    });
}

PENNORAK_EXPORT int pennorak_addhint(const PennorakHint* hint) {
    return guarded([&]() -> int {
        if (hint == nullptr || hint->id == nullptr || hint->text == nullptr ||
            hint->caption == nullptr || hint->link == nullptr) {
            return 0;
        }
        return processService().addHint({hint->id, hint->text, hint->caption, hint->link}) ? 1 : 0;
    });
}

PENNORAK_EXPORT void pennorak_start(void) {
    guarded([&] { processService().start(); });
}

PENNORAK_EXPORT void pennorak_selecthint(int32_t which, int32_t notify, int32_t restart) {
    guarded([&] { processService().selectHint(which, notify != 0, restart != 0); });
}

PENNORAK_EXPORT void pennorak_hintclick(void) {
    guarded([&] { processService().hintClick(); });
}

PENNORAK_EXPORT void pennorak_close(void) {
    guarded([&] { processService().close(); });
}

}  // extern "C"
