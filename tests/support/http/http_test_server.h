#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

namespace sonfeld::test {

// What the server answers for one request target.
struct HttpReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/octet-stream";
    // Extra response headers, e.g. {"Location", "/elsewhere"} for a redirect.
    QList<QPair<QByteArray, QByteArray>> headers;
    // Held back this long before the answer is sent, to test time-outs.
    int delayMs = 0;
    // Closes the connection without any answer (a broken server).
    bool dropConnection = false;
    // Sent as Content-Length instead of the body's size when not negative: a
    // server that announces more than it sends.
    qint64 announcedLength = -1;
};

// One request as the server received it.
struct HttpRequest {
    QByteArray method;
    QByteArray target;                    // path and query, as sent
    QMap<QByteArray, QByteArray> headers; // names in lower case
};

// A small HTTP/1.1 server on 127.0.0.1 and a free port, on a thread of its own
// so that a client blocking its thread cannot starve it. Answers come from the
// table the test fills: first the exact target (path with query), then the
// path alone; anything else is a 404. Each answer closes its connection.
// Needs a QCoreApplication (or QApplication) to exist.
class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // "http://127.0.0.1:<port>", without a trailing slash.
    QString BaseUrl() const;
    quint16 Port() const;

    void Serve(const QByteArray& target, const HttpReply& reply);
    // Stops listening: later connections are refused, as by a server that is down.
    void Close();

    QList<HttpRequest> Requests() const;
    QStringList RequestedTargets() const;

private:
    class Worker;
    std::unique_ptr<Worker> worker_;
};

// A port on 127.0.0.1 where nothing listens.
quint16 UnusedLocalPort();

} // namespace sonfeld::test
