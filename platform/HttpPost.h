#pragma once
// A synchronous HTTP POST, in place of the platform's synchronous request object: the call returns
// when the server has answered, the connection failed or the time-out passed. Meanwhile the window
// takes no input but keeps painting.
#include <QByteArray>
#include <QString>

struct HttpPostResult {
  enum class Outcome {
    Answered,  // the server answered; status and body hold its answer (any status)
    TimedOut,  // no complete answer within the time-out; the request was abandoned
    Failed,    // no answer: refused, unreachable, bad address, broken connection
    TooLong,   // the answer's body passed the bound; the request was abandoned (status holds its status)
  };
  Outcome outcome = Outcome::Failed;
  int status = 0;      // HTTP status of an answer
  QByteArray body;     // raw bytes of the answer
  QByteArray contentType;  // the answer's Content-Type header as it came ("" without one)
  QString error;       // what went wrong, for the user, when there is no answer
};

// Posts `body` to `url` with the given Content-Type (Content-Length is set from the body) and waits
// at most `timeoutMs` milliseconds. An answer whose body passes `maxBody` bytes (when not negative) is
// not read further. Needs a running Qt application object, no running event loop.
HttpPostResult HttpPostSync(const QString& url, const QByteArray& body, const QByteArray& contentType, int timeoutMs,
                            qint64 maxBody = -1);
