#include "platform/HttpPost.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>

HttpPostResult HttpPostSync(const QString& url, const QByteArray& body, const QByteArray& contentType, int timeoutMs,
                            qint64 maxBody) {
  HttpPostResult result;
  if (!QCoreApplication::instance()) {
    result.error = QStringLiteral("没有应用程序对象，不能发送网络请求。");
    return result;
  }
  const QUrl target(url, QUrl::StrictMode);
  if (!target.isValid() || target.host().isEmpty() ||
      (target.scheme() != QLatin1String("http") && target.scheme() != QLatin1String("https"))) {
    result.error = QStringLiteral("地址“%1”不是有效的网址。").arg(url);
    return result;
  }

  QNetworkAccessManager manager;
  QNetworkRequest request(target);
  request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

  QNetworkReply* reply = manager.post(request, body);
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  bool timedOut = false;
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    loop.quit();
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  // A body past the bound is not waited for, whether its length is declared or only seen arriving.
  bool tooLong = false;
  auto watchLength = [&] {
    if (maxBody < 0 || tooLong) return;
    const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
    if ((declared.isValid() && declared.toLongLong() > maxBody) || reply->bytesAvailable() > maxBody) {
      tooLong = true;
      loop.quit();
    }
  };
  QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, watchLength);
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, watchLength);
  timer.start(std::max(0, timeoutMs));
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  timer.stop();
  watchLength();

  if (tooLong) {
    QObject::disconnect(reply, nullptr, &loop, nullptr);
    result.outcome = HttpPostResult::Outcome::TooLong;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.contentType = reply->rawHeader("Content-Type");
    reply->abort();
    result.error = QStringLiteral("服务器的应答超过 %1 字节，没有读完。").arg(maxBody);
  } else if (timedOut && !reply->isFinished()) {
    QObject::disconnect(reply, nullptr, &loop, nullptr);
    reply->abort();
    result.outcome = HttpPostResult::Outcome::TimedOut;
    result.error = QStringLiteral("服务器在 %1 秒内没有应答，请求已放弃。").arg(timeoutMs / 1000.0, 0, 'g', 3);
  } else {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An answer is a status line with its whole body; the errors Qt derives from the status itself
    // (2xx content and 4xx server codes) still leave an answer. A connection broken in the middle
    // of the body, or any network or protocol failure, leaves none.
    const int code = static_cast<int>(reply->error());
    const bool answerComplete = code == QNetworkReply::NoError || (code >= 200 && code < 300) || (code >= 400 && code < 500);
    if (status.isValid() && answerComplete) {
      result.outcome = HttpPostResult::Outcome::Answered;
      result.status = status.toInt();
      result.body = reply->readAll();
      result.contentType = reply->rawHeader("Content-Type");
    } else {
      result.outcome = HttpPostResult::Outcome::Failed;
      result.error = reply->errorString();
    }
  }
  delete reply;
  return result;
}
