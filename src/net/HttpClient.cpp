#include "net/HttpClient.h"

#include "app/UiPorts.h"

#include <QLoggingCategory>
#include <atomic>
#include <condition_variable>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <thread>

Q_LOGGING_CATEGORY(lcHttp, "veltrano.http", QtWarningMsg)

namespace veltrano {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPaintInterval = std::chrono::milliseconds(15);

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// State of one transfer, touched only by the thread that runs it.
struct Transfer {
    QByteArray body;
    QByteArray reason;
    QByteArray retryAfter; // of the last status line's headers
    QList<QPair<QByteArray, QByteArray>> headers;
    Clock::time_point lastActivity = Clock::now();
    std::chrono::milliseconds readTimeout{};
    curl_off_t uploaded = 0;
    curl_off_t downloaded = 0;
    bool timedOut = false;
    bool tooLarge = false;
    bool cancelled = false;
    const std::atomic<bool> *cancel = nullptr;
    QByteArray extraCaFile;
};

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->lastActivity = Clock::now();
    if (t->body.size() + qsizetype(n) > HttpClient::kMaxBodyBytes) {
        t->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    t->body.append(data, qsizetype(n));
    return n;
}

// Takes the reason phrase from each status line; the last one wins, so an
// interim "100 Continue" never hides the final answer.
QByteArrayView headerName(QByteArrayView line);

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->lastActivity = Clock::now();
    const QByteArrayView line(data, qsizetype(n));
    if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 200 OK\r\n": the reason is what follows the code and one blank.
        qsizetype i = line.indexOf(' ');
        QByteArray reason;
        if (i >= 0) {
            while (i < line.size() && line[i] == ' ')
                ++i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\r' && line[i] != '\n')
                ++i;
            if (i < line.size() && line[i] == ' ')
                ++i;
            reason = line.sliced(i).toByteArray();
            while (reason.endsWith('\n') || reason.endsWith('\r'))
                reason.chop(1);
        }
        t->reason = reason;
        // A new status line starts a new header section (after "100
        // Continue" or a redirect): only the last one is kept, and an
        // interim or redirected answer's Retry-After does not count.
        t->headers.clear();
        t->retryAfter.clear();
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        const QByteArrayView name = line.first(colon).trimmed();
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (name.compare("Retry-After", Qt::CaseInsensitive) == 0)
            t->retryAfter = value.toByteArray();
        t->headers.append({name.toByteArray(), value.toByteArray()});
    }
    return n;
}

// Ends the transfer when the server has been silent longer than the read
// time-out: no byte sent, no byte received.
int onProgress(void *user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    auto *t = static_cast<Transfer *>(user);
    const auto now = Clock::now();
    if (downloaded != t->downloaded || uploaded != t->uploaded) {
        t->downloaded = downloaded;
        t->uploaded = uploaded;
        t->lastActivity = now;
    }
    if (now - t->lastActivity > t->readTimeout) {
        t->timedOut = true;
        return 1;
    }
    if (t->cancel && t->cancel->load()) {
        t->cancelled = true;
        return 1;
    }
    return 0;
}

// Adds the extra certificate authority to the store curl has already filled
// from the system; the system store stays trusted.
CURLcode onSslContext(CURL *, void *sslContext, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    X509_STORE *store = SSL_CTX_get_cert_store(static_cast<SSL_CTX *>(sslContext));
    if (store && X509_STORE_load_file(store, t->extraCaFile.constData()) != 1)
        qCWarning(lcHttp) << "cannot read the extra certificate authority" << t->extraCaFile;
    return CURLE_OK;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "Name" of a header line, for case-insensitive comparisons.
QByteArrayView headerName(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    return colon < 0 ? line : line.first(colon);
}

bool hasHeader(const std::vector<QByteArray> &lines, QByteArrayView name)
{
    for (const QByteArray &line : lines) {
        if (headerName(line).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

struct SlistDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
struct EasyDeleter {
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};

// How often a transfer that waits on the server looks at its cancel flag.
constexpr int kCancelPollMs = 25;

// Runs the transfer; with a cancel flag, through curl's multi interface so
// that a raised flag ends even a transfer that waits on a silent server
// within kCancelPollMs (curl's own progress calls slow down to one a second
// while nothing arrives).
CURLcode perform(CURL *handle, Transfer &transfer)
{
    if (!transfer.cancel)
        return curl_easy_perform(handle);
    CURLM *multi = curl_multi_init();
    if (!multi)
        return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(multi, handle);
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int queued = 0;
            while (CURLMsg *message = curl_multi_info_read(multi, &queued)) {
                if (message->msg == CURLMSG_DONE)
                    result = message->data.result;
            }
            break;
        }
        if (transfer.cancel->load()) {
            transfer.cancelled = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, kCancelPollMs, nullptr);
    }
    curl_multi_remove_handle(multi, handle);
    curl_multi_cleanup(multi);
    return result;
}

// Runs the transfer on a worker thread while the caller's thread keeps the
// window painting.
CURLcode performWithPump(CURL *handle, Transfer &transfer, EventPump *pump)
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    CURLcode result = CURLE_OK;
    std::jthread worker([&] {
        const CURLcode r = perform(handle, transfer);
        std::lock_guard lock(mutex);
        result = r;
        done = true;
        finished.notify_one();
    });
    std::unique_lock lock(mutex);
    while (!done) {
        lock.unlock();
        pump->keepPainting();
        lock.lock();
        finished.wait_for(lock, kPaintInterval, [&] { return done; });
    }
    return result;
}

} // namespace

HttpClient::HttpClient() : HttpClient(Options{}) {}

HttpClient::HttpClient(Options options) : m_options(std::move(options)) {}

const char *HttpClient::userAgent()
{
    return "Mozilla/5.0 (Windows NT 6.1; Win64; x64; rv:69.0) Gecko/20100101 Firefox/69.0";
}

QByteArray HttpClient::encodeUrl(const QString &url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr QByteArrayView kUnsafe("\"<>\\^`{|}");
    const QByteArray utf8 = url.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '%' && i + 2 < utf8.size() && isHex(utf8[i + 1]) && isHex(utf8[i + 2])) {
            out += utf8.mid(i, 3);
            i += 2;
        } else if (byte <= 0x20 || byte >= 0x7F || byte == '%' || kUnsafe.contains(char(byte))) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += char(byte);
        }
    }
    return out;
}

HttpResponse HttpClient::send(const HttpRequest &request)
{
    initCurlOnce();
    HttpResponse response;
    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) {
        response.failure = QStringLiteral("cannot create an HTTP client");
        return response;
    }
    CURL *h = handle.get();

    Transfer transfer;
    transfer.readTimeout = m_options.readTimeout;
    transfer.cancel = m_options.cancel;
    transfer.extraCaFile = m_options.extraCaFile.toLocal8Bit();

    // Header lines as they go out. Line breaks inside a caller's line would
    // start a header of their own, so they are dropped.
    std::vector<QByteArray> lines;
    lines.emplace_back("Connection: keep-alive");
    lines.emplace_back("Keep-Alive: 300");
    for (const QString &callerLine : request.headerLines) {
        QByteArray line = callerLine.toUtf8();
        line.replace('\r', QByteArray()).replace('\n', QByteArray());
        // curl reads "Name:" with nothing after it as "do not send Name";
        // "Name;" is its spelling for a header with an empty value.
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.mid(colon + 1).trimmed().isEmpty())
            line = line.left(colon) + ';';
        lines.push_back(line);
    }
    const bool hasBody = !request.body.isEmpty();
    const bool callerContentType = hasHeader(lines, "Content-Type");
    const QByteArray verb = request.verb.isEmpty() ? QByteArray("GET") : request.verb.toUpper();
    const bool sendsFields = hasBody || (verb != "GET" && verb != "HEAD");
    if (!callerContentType && hasBody)
        lines.emplace_back("Content-Type: text/html");
    else if (!callerContentType && sendsFields)
        lines.emplace_back("Content-Type:"); // no form content type for an empty body
    if (!hasHeader(lines, "Accept"))
        lines.emplace_back("Accept:");
    if (!hasHeader(lines, "Expect"))
        lines.emplace_back("Expect:");

    std::unique_ptr<curl_slist, SlistDeleter> headerList;
    for (const QByteArray &line : lines) {
        curl_slist *appended = curl_slist_append(headerList.get(), line.constData());
        if (!appended) {
            response.failure = QStringLiteral("out of memory");
            return response;
        }
        (void)headerList.release();
        headerList.reset(appended);
    }

    const QByteArray url = encodeUrl(request.url);
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(h, CURLOPT_PROXY, ""); // never a proxy from the environment
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!transfer.extraCaFile.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, onSslContext);
        curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, &transfer);
    }
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(m_options.readTimeout.count()));
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);

    if (verb == "HEAD") {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else if (!sendsFields) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.constData());
        if (verb != "POST")
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, verb.constData());
    }

    transfer.lastActivity = Clock::now();
    const CURLcode result = m_options.pump ? performWithPump(h, transfer, m_options.pump) : perform(h, transfer);

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK || status <= 0) {
        if (transfer.timedOut)
            response.failure = QStringLiteral("no answer within %1 ms").arg(m_options.readTimeout.count());
        else if (transfer.cancelled)
            response.failure = QStringLiteral("cancelled");
        else if (transfer.tooLarge)
            response.failure = QStringLiteral("answer larger than %1 bytes").arg(kMaxBodyBytes);
        else
            response.failure = QString::fromUtf8(curl_easy_strerror(result));
        response.cancelled = transfer.cancelled;
        // The failures a later try may well not meet: the server refused or
        // dropped the connection, or was silent too long.
        switch (result) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            response.transient = !transfer.cancelled && !transfer.tooLarge;
            break;
        default:
            response.transient = transfer.timedOut;
        }
        // Only the address up to its query: some services take the access
        // token as a query parameter, and a token never goes to a log.
        qCDebug(lcHttp).noquote() << request.verb << request.url.section(QLatin1Char('?'), 0, 0)
                                  << "failed:" << response.failure;
        return response; // 500, no reason, no body
    }
    response.status = int(status);
    response.reason = QString::fromLatin1(transfer.reason);
    response.body = std::move(transfer.body);
    response.retryAfter = std::move(transfer.retryAfter);
    response.headers = std::move(transfer.headers);
    return response;
}

} // namespace veltrano
