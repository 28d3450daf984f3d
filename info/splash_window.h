// The borderless window shown while quorvane starts: product name, tag line,
// version, the makers' logos and links. It closes itself 3 s after it is
// shown. UI thread only.
#pragma once

#include <QTimer>
#include <QWidget>

class TWin_Splash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShownMs = 3000;

    explicit TWin_Splash(QWidget* parent = nullptr);

protected:
    // Centres the window on its screen and starts the close timer.
    void showEvent(QShowEvent* event) override;

private:
    QTimer close_timer_;
};
