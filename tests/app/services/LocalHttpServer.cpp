#include "LocalHttpServer.h"

#include "app/services/Installation.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {
sockaddr_in loopback(quint16 port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

quint16 boundPort(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

const char* reasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}
}  // namespace

QByteArray LocalHttpServer::Request::header(const QByteArray& lowerName) const {
  for (const auto& [n, v] : headers)
    if (n == lowerName) return v;
  return {};
}

LocalHttpServer::LocalHttpServer() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket");
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a = loopback(0);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 8) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("bind/listen on 127.0.0.1");
  }
  port_ = boundPort(listenFd_);
  thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

QString LocalHttpServer::baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port_); }

void LocalHttpServer::answer(int status, const QByteArray& body, const QByteArray& contentType) {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = Mode::Answer;
  status_ = status;
  body_ = body;
  contentType_ = contentType;
}

void LocalHttpServer::hang() {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = Mode::Hang;
}

void LocalHttpServer::closeWithoutAnswer() {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = Mode::CloseWithoutAnswer;
}

std::vector<LocalHttpServer::Request> LocalHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

quint16 LocalHttpServer::refusingPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  quint16 port = boundPort(fd);
  ::close(fd);  // bound but never listening, now closed: nothing accepts on this port
  return port;
}

void LocalHttpServer::run() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    serve(fd);
    ::close(fd);
  }
}

void LocalHttpServer::serve(int fd) {
  // Read the request: the head up to the blank line, then Content-Length bytes of body.
  QByteArray data;
  qsizetype headEnd = -1;
  qsizetype need = -1;
  Request req;
  char buf[4096];
  while (!stop_) {
    if (headEnd >= 0 && data.size() >= headEnd + 4 + need) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;  // the client went away before sending a whole request
    data.append(buf, n);
    if (headEnd < 0 && (headEnd = data.indexOf("\r\n\r\n")) >= 0) {
      const QList<QByteArray> lines = data.left(headEnd).split('\n');
      const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
      req.method = first.value(0);
      req.path = first.value(1);
      need = 0;
      for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        QByteArray name = line.left(colon).trimmed().toLower();
        QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") need = value.toLongLong();
        req.headers.emplace_back(name, value);
      }
    }
  }
  if (headEnd < 0) return;
  req.body = data.mid(headEnd + 4, need);

  Mode mode;
  int status;
  QByteArray body;
  QByteArray contentType;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(req);
    mode = mode_;
    status = status_;
    body = body_;
    contentType = contentType_;
  }
  if (mode == Mode::CloseWithoutAnswer) return;
  if (mode == Mode::Hang) {
    // Keep the connection open, answering nothing, until the client gives up or the server stops.
    while (!stop_) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
    }
    return;
  }
  QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) + "\r\n" +
                   (contentType.isEmpty() ? QByteArray() : "Content-Type: " + contentType + "\r\n") + "Content-Length: " + QByteArray::number(body.size()) +
                   "\r\nConnection: close\r\n\r\n" + body;
  qsizetype sent = 0;
  while (sent < out.size()) {
    ssize_t n = ::send(fd, out.constData() + sent, static_cast<size_t>(out.size() - sent), MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += n;
  }
}

GatewayOnLoopback::GatewayOnLoopback(const LocalHttpServer& server, int timeoutMs) : savedServer_(gSmsGatewayServer) {
  gSmsGatewayServer = server.baseUrl();
  gSmsTimeoutMs = timeoutMs;
}

GatewayOnLoopback::~GatewayOnLoopback() {
  gSmsGatewayServer = savedServer_;
  gSmsTimeoutMs = kSmsTimeoutMs;
}
