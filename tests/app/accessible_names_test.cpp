// Every input control of every window of quorvane has an accessible name:
// its own, its caption (buttons), or the text of the label whose buddy it
// is, as assistive tools read them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>
#include <QWidget>
#include <map>
#include <memory>

#include "app/quorvane_app.h"
#include "gui_support/gui_test_support.h"

namespace {

QString withoutAccessKey(QString text) {
    return text.remove(QLatin1Char('&')).trimmed();
}

// Widgets a user types into, picks from, toggles or reads through; not the
// parts Qt builds inside other controls (a combo box's line edit, a table's
// headers and corner button, scroll bars, tab scrollers, the menu bar's
// overflow button).
bool isInputControl(QWidget* widget) {
    for (QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (qobject_cast<QComboBox*>(parent) || qobject_cast<QAbstractSpinBox*>(parent) ||
            qobject_cast<QTabBar*>(parent) || qobject_cast<QAbstractItemView*>(parent) ||
            qobject_cast<QMenuBar*>(parent)) {
            return false;
        }
    }
    if (qobject_cast<QScrollBar*>(widget)) return false;
    return qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
           qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QTextEdit*>(widget) ||
           qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QAbstractItemView*>(widget);
}

// Labels by the control they stand for.
std::map<QWidget*, QString> buddyTexts() {
    std::map<QWidget*, QString> texts;
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (label && label->buddy()) texts[label->buddy()] = withoutAccessKey(label->text());
    }
    return texts;
}

QString accessibleName(QWidget* widget, const std::map<QWidget*, QString>& buddies) {
    if (!widget->accessibleName().isEmpty()) return widget->accessibleName();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        const QString caption = withoutAccessKey(button->text());
        if (!caption.isEmpty()) return caption;
    }
    const auto buddy = buddies.find(widget);
    return buddy == buddies.end() ? QString() : buddy->second;
}

QString describe(QWidget* widget) {
    return QStringLiteral("%1 \"%2\" in %3")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(),
             widget->window()->objectName().isEmpty()
                 ? QString::fromLatin1(widget->window()->metaObject()->className())
                 : widget->window()->objectName());
}

TEST(AccessibleNames, EveryInputControlOfEveryWindowHasOne) {
    guitest::clearSettings();
    guitest::RecordingNotifier notifier;
    auto app = std::make_unique<QuorvaneApp>(
        notifier, [](int32_t, const void*, LibraryResult* result) { result->code = 7; });
    const auto buddies = buddyTexts();
    int checked = 0;
    QStringList unnamed;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (!isInputControl(widget)) continue;
        ++checked;
        if (accessibleName(widget, buddies).isEmpty()) unnamed << describe(widget);
    }
    EXPECT_GT(checked, 50);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QLatin1Char('\n')).toStdString();

    // The named examples.
    const std::map<QString, QString> expected = {
        {"writebase", "Base of the data"}, {"txid", "Use message ID"},
        {"txpdo", "Use PDO of node"},      {"txkeytrig", "Send on key"},
        {"txrxtrig", "Send on Rx of ID"},  {"txd1", "Data byte 1"},
        {"txd7", "Data byte 7"},           {"channel", "Linux Channel:"},
        {"trace", "Trace lines"},
    };
    for (QWidget* widget : QApplication::allWidgets()) {
        const auto it = expected.find(widget->objectName());
        if (it == expected.end()) continue;
        EXPECT_EQ(accessibleName(widget, buddies), it->second) << describe(widget).toStdString();
    }
}

}  // namespace
