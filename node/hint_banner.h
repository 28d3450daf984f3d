// The hint banner's connection to the pennorak hint service. UI thread; the
// service's display callback arrives on its own thread and is moved here.
#pragma once

#include <QObject>
#include <QString>

class HintBanner : public QObject {
    Q_OBJECT
public:
    explicit HintBanner(QObject* parent = nullptr);
    ~HintBanner() override;

    // Starts the service with the four built-in hints; true when every call
    // succeeded and the service runs (it must then be closed).
    bool start();
    // Closes the service if it runs.
    void close();
    bool active() const { return active_; }

    // Shows the next hint at once.
    void next();
    // Opens the current hint's link on a thread of its own; returns at once.
    void click();

Q_SIGNALS:
    // A new hint to show: its text and its link caption.
    void hintChanged(const QString& text, const QString& caption);

private:
    static void displayCallback(const char* text, const char* caption);
    bool active_ = false;
};
