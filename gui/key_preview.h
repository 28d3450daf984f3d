// Key preview for the transmit engine: every key press that reaches a
// window is handed to TransmitEngine::OnKey before the focused control sees
// it; the key is not consumed. UI thread.
#pragma once

#include <QObject>

class QWidget;
class TransmitEngine;

class TransmitKeyPreview : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Always,             // every key press of the window
        ExceptInLineEdits,  // none while a single-line edit box has the focus
    };

    // Watches `window` (a top-level widget) and is owned by it.
    TransmitKeyPreview(QWidget* window, TransmitEngine& engine, Mode mode = Mode::Always);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    TransmitEngine& engine_;
    Mode mode_;
};
