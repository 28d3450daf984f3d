// The CANopen Manager window on the simulated network of ManagerBusFixture,
// with the means to act on it as a user does (clicks, typing, the modal
// dialogs) and to see what reached the manager.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/progress_dialog.h"
#include "manager/manager_window.h"
#include "manager/node_table_model.h"
#include "manager_bus_fixture.h"

namespace managertest {

class ManagerWindowFixture : public ManagerBusFixture {
protected:
    void SetUp() override {
        ManagerBusFixture::SetUp();
        if (HasFatalFailure()) return;
        window = std::make_unique<TWin_CANopenManager>(utilities, progress, notifier);
    }
    void TearDown() override {
        window.reset();
        ManagerBusFixture::TearDown();
    }

    bool idle() {
        return guitest::waitFor([&] { return !window->busy(); }, std::chrono::seconds(60));
    }
    bool openAndRead(uint8_t node = kManagerNode) {
        window->OpenForNode(node);
        return idle();
    }
    bool reread() {
        guitest::find<QPushButton>(window.get(), "reread")->click();
        return idle();
    }

    QTableView* list() { return window->findChild<QTableView*>("list"); }
    QModelIndex index(int node, int column) { return list()->model()->index(node - 1, column); }
    QString cell(int node, int column) { return index(node, column).data().toString(); }
    bool available(int node, int column) {
        return index(node, column).data(NodeTableModel::AvailableRole).toBool();
    }
    bool unwritten(int node, int column) {
        return index(node, column).data(NodeTableModel::UnwrittenRole).toBool();
    }
    QPoint centreOf(int node, int column) {
        list()->scrollTo(index(node, column));
        return list()->visualRect(index(node, column)).center();
    }
    void clickCell(int node, int column) {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(node, column));
    }
    // The open cell editor, or null (a closed one is hidden until deleted).
    QLineEdit* cellEditor() {
        for (QLineEdit* editor : list()->findChildren<QLineEdit*>("celleditor"))
            if (!editor->isHidden()) return editor;
        return nullptr;
    }

    QString text(const char* name) { return guitest::find<QLineEdit>(window.get(), name)->text(); }
    QStringList logLines() {
        const QString all = guitest::find<QPlainTextEdit>(window.get(), "log")->toPlainText();
        return all.isEmpty() ? QStringList() : all.split(QLatin1Char('\n'));
    }
    bool logShown() { return guitest::find<QWidget>(window.get(), "logpanel")->isVisible(); }
    QComboBox* selector() { return guitest::find<QComboBox>(window.get(), "nodelist"); }

    // Runs `user` on the modal dialog named `name` once it shows (the caller
    // then opens it); a dialog that never shows fails the test.
    void whenModal(const QString& name, std::function<void(QWidget*)> user) {
        auto* poll = new QTimer(window.get());
        auto started = std::make_shared<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now());
        QObject::connect(poll, &QTimer::timeout, window.get(), [poll, name, user, started] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->objectName() == name) {
                poll->stop();
                poll->deleteLater();
                user(modal);
            } else if (std::chrono::steady_clock::now() - *started > std::chrono::seconds(30)) {
                poll->stop();
                poll->deleteLater();
                ADD_FAILURE() << name.toStdString() << " never showed";
            }
        });
        poll->start(5);
    }

    // A value of the manager now, through the library (4 bytes at most).
    uint32_t managerValue(uint16_t index, uint8_t subindex) {
        uint8_t bytes[8] = {};
        uint32_t length = sizeof bytes;
        LibraryResult result{};
        utilities.SDOUpload(kManagerNode, index, subindex, bytes, length, result);
        EXPECT_EQ(result.code, 0) << result.text;
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
               uint32_t(bytes[3]) << 24;
    }

    // The download requests to the manager seen since listen() (as "610#..."),
    // up to an upload of 0x1000 that marks the present.
    std::vector<std::string> downloadsSoFar() {
        managerValue(0x1000, 0);
        std::vector<std::string> seen;
        while (auto message = listener->next()) {
            const std::string frame = quorbustest::frameText(message);
            if (frame.rfind("610#40001000", 0) == 0 || frame.rfind("610#A4001000", 0) == 0)
                return seen;
            if (frame.rfind("610#2", 0) == 0 || frame.rfind("610#C", 0) == 0) seen.push_back(frame);
        }
        ADD_FAILURE() << "the marker upload was not seen";
        return seen;
    }

    TWin_Progress progress;
    std::unique_ptr<TWin_CANopenManager> window;
};

}  // namespace managertest
