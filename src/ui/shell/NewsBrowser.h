#pragma once

#include "app/UiPorts.h"

#include <QByteArray>
#include <QTextBrowser>

#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace veltrano {

// The news panel of the main window. It shows the product's news page as
// plain rich text: nothing on the page is run, no image, style sheet or other
// resource is fetched, and a click on a link opens the default browser.
//
// The page is fetched on a worker thread so that it never holds up the
// start. Until it arrives, and whenever it cannot be had (offline, no news
// address in this build, an error answer), a short built-in welcome text is
// shown instead.
class NewsBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    // Fetches the page at url and returns its body, or an empty array when
    // there is no usable answer. Runs on a worker thread; a raised stop flag
    // (the window is going away) asks it to give up at once.
    using Fetcher = std::function<QByteArray(const QString &url, const std::atomic<bool> &stop)>;

    // The largest page shown; a longer answer is cut there.
    static constexpr qsizetype MaxPageBytes = 512 * 1024;
    // The longest wait for the news server; the panel is no reason to keep a
    // connection open for long.
    static constexpr std::chrono::milliseconds NewsTimeout{10000};

    explicit NewsBrowser(BrowserOpener &browser, QWidget *parent = nullptr);
    ~NewsBrowser() override;

    static QString welcomeHtml();
    // Fetches the page with a plain GET over the program's HTTP client; only
    // an answer with status 200 counts.
    static Fetcher networkFetcher(const QString &extraCaFile = {});

    // Shows the welcome text and starts fetching url in the background.
    // Returns at once. An empty url, or one that is not http or https,
    // leaves the welcome text.
    void loadNews(const QString &url, Fetcher fetcher = networkFetcher());
    // Whether the page on show came from the news address.
    bool showsNewsPage() const { return m_showsNewsPage; }

Q_SIGNALS:
    // The background fetch is over; shown tells whether the page replaced the
    // welcome text.
    void newsFinished(bool shown);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    struct Pending;
    void showWelcome();
    void showPage(quint64 generation, const QByteArray &body);
    void openLink(const QUrl &link);

    BrowserOpener &m_browser;
    std::shared_ptr<Pending> m_pending;
    // The fetches in flight; the window stops and joins them when it goes,
    // so none outlives it or the program.
    std::vector<std::thread> m_workers;
    QUrl m_pageUrl;
    quint64 m_generation = 0;
    bool m_showsNewsPage = false;
};

} // namespace veltrano
