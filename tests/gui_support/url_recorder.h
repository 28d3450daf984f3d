// Records the addresses QDesktopServices::openUrl hands over (http, https
// and file) while it lives, instead of starting a browser or viewer.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <vector>

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char* scheme : kSchemes) {
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
        }
    }
    ~UrlRecorder() override {
        for (const char* scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    std::vector<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened.push_back(url); }

private:
    static constexpr const char* kSchemes[] = {"http", "https", "file"};
};
