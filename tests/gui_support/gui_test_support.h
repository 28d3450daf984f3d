// Helpers for the window tests (offscreen, UI thread).
#pragma once

#include <QApplication>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <functional>
#include <utility>
#include <vector>

#include "gui/notifier.h"

namespace guitest {

// Processes events until `condition` holds or `limit` passes.
bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(10));

// Removes every value of the settings store of quorvane.
void clearSettings();

// Captures message boxes instead of showing them.
class RecordingNotifier : public Notifier {
public:
    void notify(Kind kind, const QString& text) override { boxes.emplace_back(kind, text); }
    std::vector<std::pair<Kind, QString>> boxes;
    QStringList texts() const;
};

// The child of `root` with this object name, or nullptr.
template <class T>
T* find(QWidget* root, const QString& name) {
    return root->findChild<T*>(name);
}

}  // namespace guitest
