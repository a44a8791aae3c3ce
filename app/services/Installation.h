#pragma once
// Values of this installation, kept in one place. They are constants of the program; tests set the
// mutable ones in-process (the gateway to their own server on 127.0.0.1, a short time-out).
#include <QString>
#include <QStringList>

// The web server of the SMS gateway, with a final "/"; the gateway page "msg.asp" lies on it.
// A build can give its own with -DVRN_SMS_GATEWAY_SERVER="\"http://host/\"".
extern QString gSmsGatewayServer;
// How long one request to the gateway may take, in milliseconds (15 seconds).
extern int gSmsTimeoutMs;

inline constexpr int kSmsTimeoutMs = 15000;
// The page every sender and the account check post to: gSmsGatewayServer + "msg.asp".
QString SmsGatewayAddress();

namespace Installation {
// Status bar panel 3 and the about box.
inline const QString kSupportText = QStringLiteral("技术支持：Varnel软件  电话：400-800-6173");
inline const QStringList kContactLines = {QStringLiteral("Varnel软件 版权所有"), QStringLiteral("技术支持电话：400-800-6173"),
                                          QStringLiteral("电子邮件：support@varnel.example")};
inline const QString kWebAddress = QStringLiteral("https://www.varnel.example/");
inline const QString kDemoVideoAddress = QStringLiteral("https://www.varnel.example/video/");
// The updater started by "检查新版本", looked for in the program folder.
inline const QString kUpdaterName = QStringLiteral("Refetch");
}  // namespace Installation
