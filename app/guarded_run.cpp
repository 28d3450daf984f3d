#include "app/guarded_run.h"

#include <QString>
#include <exception>

#include "gui/notifier.h"

namespace {

const char kUnknownException[] = "Quorvane stopped because of an unexpected error.";

}  // namespace

int RunGuarded(Notifier& notifier, const std::function<int()>& program) {
    QString text;
    try {
        return program();
    } catch (const std::exception& error) {
        text = QString::fromUtf8(error.what());
    } catch (...) {
        text = QString::fromLatin1(kUnknownException);
    }
    if (text.isEmpty()) text = QString::fromLatin1(kUnknownException);
    notifier.warning(text);
    return kExitAfterException;
}
