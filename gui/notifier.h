// Message boxes of quorvane go through one seam so that tests can capture
// their texts instead of blocking on a modal box. UI thread only.
#pragma once

#include <QString>

class QWidget;

class Notifier {
public:
    enum class Kind { Warning, Information };
    virtual ~Notifier() = default;
    // Shows `text` in a modal box titled "Quorvane" with the kind's icon and
    // an OK button; returns when the user has closed it.
    virtual void notify(Kind kind, const QString& text) = 0;

    void warning(const QString& text) { notify(Kind::Warning, text); }
    void information(const QString& text) { notify(Kind::Information, text); }
};

// The real boxes, centred on the active window.
class MessageBoxNotifier : public Notifier {
public:
    void notify(Kind kind, const QString& text) override;
};
