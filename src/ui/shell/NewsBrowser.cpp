#include "ui/shell/NewsBrowser.h"

#include "net/HttpClient.h"

#include <QMetaObject>
#include <QStringDecoder>
#include <mutex>
#include <thread>

namespace veltrano {

// What a worker thread needs to hand its page back: the window, for as long
// as it exists. The window clears it under the lock when it goes away, so a
// late answer is dropped instead of reaching a destroyed window.
struct NewsBrowser::Pending {
    std::mutex mutex;
    NewsBrowser *receiver = nullptr;
    std::atomic<bool> stop{false};
};

NewsBrowser::NewsBrowser(BrowserOpener &browser, QWidget *parent)
    : QTextBrowser(parent), m_browser(browser), m_pending(std::make_shared<Pending>())
{
    m_pending->receiver = this;
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &NewsBrowser::openLink);
    showWelcome();
}

NewsBrowser::~NewsBrowser()
{
    {
        std::lock_guard<std::mutex> lock(m_pending->mutex);
        m_pending->receiver = nullptr;
    }
    // A fetch still waiting on the news server gives up within tens of
    // milliseconds; nothing runs on after the window.
    m_pending->stop = true;
    for (std::thread &worker : m_workers)
        worker.join();
}

QString NewsBrowser::welcomeHtml()
{
    return QStringLiteral("<h3>Welcome to Veltrano</h3>"
                          "<p>Veltrano asks Yandex Webmaster, Yandex Metrika, Google Search Console, Google Analytics "
                          "and Ahrefs about every page of your site.</p>"
                          "<p>Connect your accounts on the <b>Settings</b> page, then paste or import the page URLs "
                          "into a report tab and press <b>Check URL</b>.</p>");
}

NewsBrowser::Fetcher NewsBrowser::networkFetcher(const QString &extraCaFile)
{
    // A plain GET with the program's HTTP client, on the worker thread. It
    // writes no log line: the news is no service request of the user's.
    return [extraCaFile](const QString &url, const std::atomic<bool> &stop) {
        HttpClient::Options options;
        options.readTimeout = NewsTimeout;
        options.extraCaFile = extraCaFile;
        options.cancel = &stop;
        HttpClient client(options);
        const HttpResponse response = client.send({QByteArrayLiteral("GET"), url, {}, {}});
        return response.status == 200 ? response.body : QByteArray();
    };
}

void NewsBrowser::showWelcome()
{
    m_pageUrl.clear();
    m_showsNewsPage = false;
    setHtml(welcomeHtml());
}

void NewsBrowser::loadNews(const QString &url, Fetcher fetcher)
{
    ++m_generation;
    showWelcome();
    const QUrl pageUrl(url);
    const QString scheme = pageUrl.scheme().toLower();
    if (url.isEmpty() || !pageUrl.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        !fetcher) {
        Q_EMIT newsFinished(false);
        return;
    }
    m_pageUrl = pageUrl;
    m_workers.emplace_back([pending = m_pending, generation = m_generation, url, fetcher = std::move(fetcher)] {
        QByteArray body;
        try {
            body = fetcher(url, pending->stop);
        } catch (...) {
            body.clear(); // an unusable answer: the welcome text stays
        }
        std::lock_guard<std::mutex> lock(pending->mutex);
        if (NewsBrowser *receiver = pending->receiver) {
            QMetaObject::invokeMethod(
                receiver, [receiver, generation, body] { receiver->showPage(generation, body); }, Qt::QueuedConnection);
        }
    });
}

void NewsBrowser::showPage(quint64 generation, const QByteArray &body)
{
    if (generation != m_generation)
        return; // a newer load was started meanwhile
    if (body.isEmpty()) {
        Q_EMIT newsFinished(false);
        return;
    }
    const QByteArray page = body.left(MaxPageBytes);
    // The page's own charset declaration decides; UTF-8 without one.
    QStringDecoder decoder = QStringDecoder::decoderForHtml(page);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::Utf8);
    setHtml(decoder.decode(page));
    m_showsNewsPage = true;
    Q_EMIT newsFinished(true);
}

QVariant NewsBrowser::loadResource(int, const QUrl &)
{
    // Images, style sheets and anything else a page refers to stay unloaded:
    // the panel shows text only and never reaches out on its own.
    return {};
}

void NewsBrowser::openLink(const QUrl &link)
{
    const QUrl target = m_pageUrl.isEmpty() ? link : m_pageUrl.resolved(link);
    if (link.toString().startsWith(QLatin1Char('#'))) {
        scrollToAnchor(link.fragment());
        return;
    }
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        m_browser.open(target.toString());
}

} // namespace veltrano
