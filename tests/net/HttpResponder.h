#pragma once

#include "net/THttpCli.h"

#include <QByteArrayView>
#include <QString>

namespace pw::test {

// The server side of a client's connections, played from the test's own thread: the
// client is pointed at it as its proxy, so that every request and every redirect comes
// here, and the test hands it the response in pieces of its choice. After each piece
// the event loop runs until the client has read it, so the pieces reach the client's
// receive path as they were cut.
//
//   HttpResponder responder;
//   responder.Begin(client);                  // starts a GET and accepts it
//   responder.Feed(client, "HTTP/1.0 200 OK\r\n\r\nbody");
//   responder.End();                          // orderly close (Reset: a TCP reset)
class HttpResponder {
public:
    HttpResponder();
    ~HttpResponder();
    HttpResponder(const HttpResponder&) = delete;
    HttpResponder& operator=(const HttpResponder&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    // Makes this the client's proxy, starts a request of kind and accepts its connection.
    bool Begin(net::THttpCli& client, net::THttpRequest kind = net::THttpRequest::Get);
    // Takes the next connection of the client (after a redirect); false after ms.
    bool Accept(int ms = 30000);
    // Sends bytes on the current connection (a connection the client opened since is
    // taken first) and runs the loop until the client has read them.
    void Feed(net::THttpCli& client, QByteArrayView bytes);
    // Ends the current connection in an orderly way, or with a reset.
    void End(bool reset = false);
    // Ends whatever connection the client opens until it is done (ms at most): a client
    // that follows a redirect gets an empty answer.
    void EndEverything(const std::function<bool()>& done, int ms = 5000);

private:
    bool TakePending();
    void DrainRequest();

    int listenFd_ = -1;
    int fd_ = -1;
    quint16 port_ = 0;
};

} // namespace pw::test
