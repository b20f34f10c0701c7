#include "support/http/http_test_server.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <stdexcept>

namespace sonfeld::test {

namespace {

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 503: return "Service Unavailable";
    default: return status >= 500 ? "Server Error" : "Status";
    }
}

} // namespace

// Lives on its own thread; everything touching sockets runs there.
class HttpTestServer::Worker : public QObject {
public:
    Worker()
    {
        // The server thread runs an event loop, which Qt allows only once the
        // application object exists.
        if (QCoreApplication::instance() == nullptr)
            throw std::logic_error("The test HTTP server needs a QCoreApplication.");
        moveToThread(&thread_);
        thread_.start();
        QSemaphore started;
        QMetaObject::invokeMethod(this, [this, &started] {
            server_ = new QTcpServer(this);
            if (server_->listen(QHostAddress::LocalHost, 0))
                port_ = server_->serverPort();
            connect(server_, &QTcpServer::newConnection, this, &Worker::Accept);
            started.release();
        });
        started.acquire();
        if (port_ == 0) {
            Stop();
            throw std::runtime_error("The test HTTP server could not listen on 127.0.0.1.");
        }
    }

    ~Worker() override { Stop(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    quint16 Port() const { return port_; }

    void Serve(const QByteArray& target, const HttpReply& reply)
    {
        QMutexLocker lock(&mutex_);
        replies_[target] = reply;
    }

    void Close()
    {
        QSemaphore done;
        QMetaObject::invokeMethod(this, [this, &done] {
            server_->close();
            done.release();
        });
        done.acquire();
    }

    QList<HttpRequest> Requests() const
    {
        QMutexLocker lock(&mutex_);
        return requests_;
    }

private:
    void Stop()
    {
        if (!thread_.isRunning())
            return;
        QMetaObject::invokeMethod(this, [this] {
            delete server_;
            server_ = nullptr;
            thread_.quit();
        });
        thread_.wait();
    }

    void Accept()
    {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ReadFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void ReadFrom(QTcpSocket* socket)
    {
        QByteArray& pending = pending_[socket];
        pending += socket->readAll();
        const qsizetype headerEnd = pending.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = pending.left(headerEnd).split('\n');
        pending_.remove(socket);
        HttpRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers[lines[i].left(colon).trimmed().toLower()] =
                    lines[i].mid(colon + 1).trimmed();
        }
        HttpReply reply;
        reply.status = 404;
        reply.body = "not found";
        reply.contentType = "text/plain";
        {
            QMutexLocker lock(&mutex_);
            requests_.append(request);
            const QByteArray path = request.target.left(request.target.indexOf('?'));
            if (replies_.contains(request.target))
                reply = replies_.value(request.target);
            else if (replies_.contains(path))
                reply = replies_.value(path);
        }
        QTimer::singleShot(reply.delayMs, socket, [socket, reply] { Answer(socket, reply); });
    }

    static void Answer(QTcpSocket* socket, const HttpReply& reply)
    {
        if (reply.dropConnection) {
            socket->abort();
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                          ReasonPhrase(reply.status) + "\r\n";
        head += "Content-Type: " + reply.contentType + "\r\n";
        head += "Content-Length: " +
                QByteArray::number(reply.announcedLength >= 0 ? reply.announcedLength
                                                              : reply.body.size()) +
                "\r\n";
        for (const auto& [name, value] : reply.headers)
            head += name + ": " + value + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head + reply.body);
        socket->disconnectFromHost();
    }

    QThread thread_;
    QTcpServer* server_ = nullptr;
    quint16 port_ = 0;
    QHash<QTcpSocket*, QByteArray> pending_;
    mutable QMutex mutex_;
    QMap<QByteArray, HttpReply> replies_;
    QList<HttpRequest> requests_;
};

HttpTestServer::HttpTestServer() : worker_(std::make_unique<Worker>())
{
}

HttpTestServer::~HttpTestServer() = default;

QString HttpTestServer::BaseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(worker_->Port());
}

quint16 HttpTestServer::Port() const
{
    return worker_->Port();
}

void HttpTestServer::Serve(const QByteArray& target, const HttpReply& reply)
{
    worker_->Serve(target, reply);
}

void HttpTestServer::Close()
{
    worker_->Close();
}

QList<HttpRequest> HttpTestServer::Requests() const
{
    return worker_->Requests();
}

QStringList HttpTestServer::RequestedTargets() const
{
    QStringList targets;
    for (const HttpRequest& request : worker_->Requests())
        targets << QString::fromUtf8(request.target);
    return targets;
}

quint16 UnusedLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 9; // discard port: nothing listens there on a test machine
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace sonfeld::test
