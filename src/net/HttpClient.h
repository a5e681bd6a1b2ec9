#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>

namespace veltrano {

class EventPump;

struct HttpRequest {
    QByteArray verb; // "GET", "POST", ...
    QString url;
    QStringList headerLines; // "Name: value", sent as written and in this order
    QByteArray body;
};

struct HttpResponse {
    int status = 500;  // 500 when no answer came
    QString reason;    // reason phrase of the status line; empty when no answer came
    QByteArray body;   // the whole body; empty when no answer came
    QString failure;   // why no answer came (diagnostics only); empty otherwise
    bool cancelled = false; // the cancel flag ended the transfer
    // No answer, for a reason a later try may not meet: the connection was
    // refused, reset or dropped, or the server was silent too long.
    bool transient = false;
    QByteArray retryAfter; // the answer's Retry-After header value, when it has one
    // The header lines of the final answer as "Name", "value" pairs, names
    // as the server spelled them, in the order they came.
    QList<QPair<QByteArray, QByteArray>> headers;
};

// One HTTP/1.1 exchange over libcurl. A client is made for one call and
// opens a new connection for it; nothing is pooled or kept.
//
// Every request carries the browser user agent, "Connection: keep-alive",
// "Keep-Alive: 300", then the caller's header lines in order, and
// "Content-Type: text/html" when there is a body and the caller gave no
// Content-Type of its own. The HTTP layer adds Host and Content-Length;
// nothing else is added (no Accept, no Expect, no proxy from the
// environment). TLS peers are verified against the system store and, when
// given, an extra certificate authority file; verification is never off.
class HttpClient final {
public:
    static constexpr std::chrono::milliseconds kDefaultReadTimeout{90000};
    static constexpr qsizetype kMaxBodyBytes = qsizetype(512) * 1024 * 1024;

    struct Options {
        // Longest wait on the server: for the connection, and between any
        // two pieces of the answer.
        std::chrono::milliseconds readTimeout = kDefaultReadTimeout;
        // PEM file of a certificate authority trusted besides the system store.
        QString extraCaFile;
        // When set, the transfer runs on a worker thread and the caller keeps
        // the window painting until it completes.
        EventPump *pump = nullptr;
        // When set, raising it ends the transfer within a few tens of
        // milliseconds, as if no answer had come, with cancelled set (the
        // user's "Cancel", or a program that is closing, does not wait for a
        // slow server).
        const std::atomic<bool> *cancel = nullptr;
    };

    HttpClient();
    explicit HttpClient(Options options);

    HttpResponse send(const HttpRequest &request);

    // The address as sent: characters outside printable ASCII (and the few
    // ASCII characters a URL cannot hold) become %XX of their UTF-8 bytes;
    // existing %XX escapes and reserved characters stay as written.
    static QByteArray encodeUrl(const QString &url);

    static const char *userAgent();

private:
    Options m_options;
};

} // namespace veltrano
