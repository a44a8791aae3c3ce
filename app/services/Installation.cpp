#include "app/services/Installation.h"

#ifndef VRN_SMS_GATEWAY_SERVER
// The gateway of the installation is not known to the project: until a build names one, the address
// lies in the reserved domain ".invalid", so a message can never go anywhere by mistake.
#define VRN_SMS_GATEWAY_SERVER "http://sms-gateway.invalid/"
#endif

QString gSmsGatewayServer = QStringLiteral(VRN_SMS_GATEWAY_SERVER);
int gSmsTimeoutMs = kSmsTimeoutMs;

QString SmsGatewayAddress() {
  QString server = gSmsGatewayServer.trimmed();
  if (!server.endsWith(QLatin1Char('/'))) server += QLatin1Char('/');
  return server + QStringLiteral("msg.asp");
}
