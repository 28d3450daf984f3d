// Records the addresses QDesktopServices::openUrl hands over for http and
// https while it lives, instead of starting a browser.
//
// The handler is invoked by method name with one QUrl argument; QTextBrowser's
// slot setSource(QUrl) ends in the virtual doSetSource, which records here.
#pragma once

#include <QDesktopServices>
#include <QTextBrowser>
#include <QUrl>
#include <vector>

class UrlRecorder : public QTextBrowser {
public:
    UrlRecorder() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "setSource");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "setSource");
    }
    ~UrlRecorder() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

    std::vector<QUrl> opened;

protected:
    void doSetSource(const QUrl& url, QTextDocument::ResourceType) override {
        opened.push_back(url);
    }
};
