#include "gui/key_preview.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>
#include <QWindow>

#include "gui/key_codes.h"
#include "transmit/core/transmit_engine.h"

TransmitKeyPreview::TransmitKeyPreview(QWidget* window, TransmitEngine& engine, Mode mode)
    : QObject(window), window_(window), engine_(engine), mode_(mode) {
    setObjectName(QStringLiteral("transmitKeyPreview"));
    // A key press reaches the window's QWindow once, before it is passed to
    // the focused widget and up its parents.
    QCoreApplication::instance()->installEventFilter(this);
}

bool TransmitKeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWindowType()) return false;
    if (watched != window_->windowHandle()) return false;
    if (mode_ == Mode::ExceptInLineEdits && qobject_cast<QLineEdit*>(window_->focusWidget())) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (const auto code = VirtualKeyCode(*key)) engine_.OnKey(*code);
    return false;
}
