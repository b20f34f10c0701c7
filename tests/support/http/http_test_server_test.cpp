#include "support/http/http_test_server.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include "support/core_application.h"

namespace sonfeld::test {
namespace {

// The server's thread needs the application object.
QCoreApplication& Application()
{
    return sonfeld::test::CoreApplication("http_test_server_test");
}

// A raw exchange, so the server is checked without the client code it serves.
QByteArray Exchange(quint16 port, const QByteArray& target)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET " + target + " HTTP/1.1\r\nHost: x\r\nUser-Agent: probe/1\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(3000))
        answer += socket.readAll();
    return answer;
}

TEST(HttpTestServerTest, AnswersFromItsTableAndRecordsRequests)
{
    Application();
    HttpTestServer server;
    server.Serve("/a?x=1", HttpReply{200, "exact", "text/plain", {}, 0, false});
    server.Serve("/a", HttpReply{200, "path", "text/plain", {}, 0, false});
    server.Serve("/moved", HttpReply{302, "", "text/plain", {{"Location", "/a"}}, 0, false});

    EXPECT_TRUE(Exchange(server.Port(), "/a?x=1").endsWith("\r\n\r\nexact"));
    EXPECT_TRUE(Exchange(server.Port(), "/a?y=2").endsWith("\r\n\r\npath"));
    EXPECT_TRUE(Exchange(server.Port(), "/nothing").startsWith("HTTP/1.1 404"));
    EXPECT_TRUE(Exchange(server.Port(), "/moved").contains("Location: /a\r\n"));

    const QList<HttpRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].headers.value("user-agent"), "probe/1");
    EXPECT_EQ(server.RequestedTargets().value(2), "/nothing");
}

TEST(HttpTestServerTest, DroppedAndClosedServersGiveNoAnswer)
{
    Application();
    HttpTestServer server;
    server.Serve("/drop", HttpReply{200, "never", "text/plain", {}, 0, true});
    EXPECT_TRUE(Exchange(server.Port(), "/drop").isEmpty());
    server.Close();
    EXPECT_TRUE(Exchange(server.Port(), "/drop").isEmpty());
}

} // namespace
} // namespace sonfeld::test
