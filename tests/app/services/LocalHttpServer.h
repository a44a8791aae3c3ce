#pragma once
// A small HTTP server for tests on 127.0.0.1, in a thread of its own: it records each request and
// answers as told (an answer, no answer until the client gives up, or a closed connection).
// Nothing leaves the machine.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class LocalHttpServer;

// Points the program's SMS gateway at a local server (with a short time-out) while it lives.
class GatewayOnLoopback {
 public:
  explicit GatewayOnLoopback(const LocalHttpServer& server, int timeoutMs = 5000);
  ~GatewayOnLoopback();

 private:
  QString savedServer_;
};

class LocalHttpServer {
 public:
  struct Request {
    QByteArray method;
    QByteArray path;
    std::vector<std::pair<QByteArray, QByteArray>> headers;  // names in lower case
    QByteArray body;
    QByteArray header(const QByteArray& lowerName) const;
  };
  enum class Mode { Answer, Hang, CloseWithoutAnswer };

  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  quint16 port() const { return port_; }
  // "http://127.0.0.1:<port>/"
  QString baseUrl() const;
  // The next requests get this answer (status, raw body bytes and the Content-Type header, none when "").
  void answer(int status, const QByteArray& body, const QByteArray& contentType = "text/html; charset=gb2312");
  // The next requests get no answer: the connection stays open until the client closes it.
  void hang();
  // The next requests get their connection closed without any answer.
  void closeWithoutAnswer();
  std::vector<Request> requests() const;

  // A port on 127.0.0.1 where nothing listens (a connection to it is refused).
  static quint16 refusingPort();

 private:
  void run();
  void serve(int fd);

  int listenFd_ = -1;
  quint16 port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  Mode mode_ = Mode::Answer;
  int status_ = 200;
  QByteArray body_;
  QByteArray contentType_;
  std::vector<Request> requests_;
  std::thread thread_;
};
