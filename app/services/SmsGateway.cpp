#include "app/services/SmsGateway.h"

#include <QSet>

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "app/data/DataAccess.h"
#include "app/services/ErrorReport.h"
#include "app/services/Installation.h"
#include "app/services/LoginState.h"
#include "app/services/SettingsList.h"
#include "platform/Dialogs.h"
#include "platform/Gbk.h"
#include "platform/HttpPost.h"

const QString kMobilePrefixes = QStringLiteral(
    "134 135 136 137 138 139 147 150 151 152 157 158 159 178 182 183 184 187 188 130 131 132 145 155 156 175 "
    "176 185 186 133 153 177 180 181 189 170");

namespace {

// Error numbers of the failures without an answer, as the Windows request object gave them
// (WinINet's time-out and cannot-connect codes), so the report reads as users know it.
constexpr int kErrTimedOut = -2147012894;  // 0x80072EE2
constexpr int kErrCannotConnect = -2147012867;  // 0x80072EFD

const QString kFormContentType = QStringLiteral("application/x-www-form-urlencoded");
// A gateway answers in a line; more than this is a page of something else, not worth waiting for.
constexpr qint64 kMaxReplyBytes = 64 * 1024;

// The answer of one post, before HttpPostForm turns it into its text.
struct RawAnswer {
  HttpPostResult post;
  QString address;
};

RawAnswer postForm(const QString& address, const QString& body) {
  RawAnswer a;
  a.address = address.trimmed();
  // The body is plain ASCII once encoded; GBK keeps a body built some other way as the gateway reads it.
  a.post = HttpPostSync(a.address, Gbk::encode(body.trimmed()), kFormContentType.toLatin1(), gSmsTimeoutMs, kMaxReplyBytes);
  return a;
}

AppError transportError(const RawAnswer& a) {
  if (a.post.outcome == HttpPostResult::Outcome::TimedOut)
    return AppError(kErrTimedOut, QStringLiteral("短信网关（%1）在 %2 秒内没有应答。").arg(a.address).arg(gSmsTimeoutMs / 1000.0, 0, 'g', 3));
  return AppError(kErrCannotConnect, QStringLiteral("无法连接短信网关（%1）：%2").arg(a.address, a.post.error));
}

QString charsetOrDefault(const QString& charset) {
  return charset.trimmed().isEmpty() ? QStringLiteral("GB2312") : charset.trimmed();
}

// Strict conversion to UTF-8 through iconv: an unknown character set or a byte sequence that is not
// valid in it throws.
QString decodeWithIconv(const QByteArray& bytes, const QString& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.toLatin1().constData());
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw AppError(Err::InvalidCall, QStringLiteral("不认识的字符集“%1”。").arg(charset));
  QByteArray out;
  std::vector<char> buf(4 * static_cast<size_t>(bytes.size()) + 16);
  char* src = const_cast<char*>(bytes.constData());
  size_t srcLeft = static_cast<size_t>(bytes.size());
  bool failed = false;
  while (srcLeft > 0 && !failed) {
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf.data(), static_cast<qsizetype>(buf.size() - dstLeft));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) failed = true;
  }
  iconv_close(cd);
  if (failed) throw AppError(Err::InvalidCall, QStringLiteral("应答不是有效的 %1 文字。").arg(charset));
  return QString::fromUtf8(out);
}

QString charsetKey(const QString& charset) {
  return charset.trimmed().toUpper().remove(QLatin1Char('-')).remove(QLatin1Char('_')).remove(QLatin1Char('"'));
}

bool isGbkFamily(const QString& charset) {
  const QString c = charsetKey(charset);
  return c == QLatin1String("GB2312") || c == QLatin1String("GBK") || c == QLatin1String("CP936") ||
         c == QLatin1String("GB18030") || c == QLatin1String("EUCCN") || c == QLatin1String("936");
}

bool isUtf8(const QString& charset) { return charsetKey(charset) == QLatin1String("UTF8"); }

// The charset parameter of a Content-Type header ("text/html; charset=utf-8" gives "utf-8").
QString declaredCharset(const QByteArray& contentType) {
  for (const QByteArray& part : contentType.split(';')) {
    const QByteArray p = part.trimmed();
    if (p.toLower().startsWith("charset=")) return QString::fromLatin1(p.mid(8)).remove(QLatin1Char('"')).trimmed();
  }
  return {};
}

bool hasNonAscii(const QByteArray& bytes) {
  for (char ch : bytes)
    if (static_cast<unsigned char>(ch) >= 0x80) return true;
  return false;
}

bool validUtf8WithMultiByte(const QByteArray& bytes) {
  if (!hasNonAscii(bytes)) return false;
  try {
    decodeWithIconv(bytes, QStringLiteral("UTF-8"));
    return true;
  } catch (const AppError&) {
    return false;
  }
}

// A gateway reply: declared UTF-8 strictly so; otherwise bytes that are valid UTF-8 with a multi-byte
// sequence as UTF-8 (GBK Chinese is practically never valid UTF-8, and gateways behind a proxy often
// declare GBK wrongly), else GBK. A reply with non-ASCII bytes whose other reading holds the refusal
// "密码错误" is taken in that reading, so a refusal is never read as a sent message. Bytes none of these
// reads throw: the reply may say anything, "sent" included.
QString decodeReply(const QByteArray& bytes, const QByteArray& contentType) {
  const QString utf8 = QStringLiteral("UTF-8"), gbk = QStringLiteral("GB18030");
  const QString first = isUtf8(declaredCharset(contentType)) || validUtf8WithMultiByte(bytes) ? utf8 : gbk;
  if (hasNonAscii(bytes)) {
    for (const QString& charset : {first, first == utf8 ? gbk : utf8}) {
      try {
        const QString text = decodeWithIconv(bytes, charset);
        if (text.contains(QStringLiteral("密码错误"))) return text;
      } catch (const AppError&) {
        // a reading that fails holds no refusal
      }
    }
  }
  return decodeWithIconv(bytes, first);
}

// What the user reads: the sentence says what happened in this system's words; the gateway's address
// and what the network said stay in the details.
struct FailureMessage {
  QString text;
  QString details;
};

FailureMessage failureText(const QString& what, const SmsReply& r, const QString& address, const QString& consequence) {
  using O = SmsReply::Outcome;
  QString reason;
  switch (r.outcome) {
    case O::TimedOut:
      reason = QStringLiteral("短信网关在 %1 秒内没有应答，已放弃等待。").arg(gSmsTimeoutMs / 1000.0, 0, 'g', 3);
      break;
    case O::Unreachable: reason = QStringLiteral("无法连接短信网关，请检查本机的网络连接，或稍后再试。"); break;
    case O::HttpError: reason = QStringLiteral("短信网关返回错误（HTTP 状态 %1）。").arg(r.httpStatus); break;
    case O::Refused: reason = QStringLiteral("短信网关拒绝了请求（应答 -1）。"); break;
    case O::EmptyAnswer: reason = QStringLiteral("短信网关没有返回任何内容。"); break;
    case O::Undecodable: reason = QStringLiteral("短信网关的回复无法识别。"); break;
    case O::Unsendable: return {r.failure, QString()};
    case O::WrongAccount:
      reason = QStringLiteral("短信账号或密码错误（网关应答：%1）。请在系统设置中检查短信账号和密码。").arg(r.text.trimmed());
      break;
    case O::Accepted: return {};
  }
  QString details = QStringLiteral("短信网关地址：") + address;
  if (!r.detail.isEmpty()) details += QStringLiteral("\n网络：") + r.detail;
  if (!r.raw.isEmpty()) details += QStringLiteral("\n回复：") + QString::fromLatin1(r.raw.left(64).toHex(' '));
  return {what + reason + (consequence.isEmpty() ? QString() : QStringLiteral("\r\n") + consequence), details};
}

}  // namespace

QString UrlEncodeGbk(const QString& text) {
  try {
    const QByteArray bytes = Gbk::encode(text);
    QString out;
    out.reserve(bytes.size() * 3);
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : bytes) {
      const auto b = static_cast<unsigned char>(ch);
      if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '_' ||
          b == '.' || b == '~') {
        out += QLatin1Char(static_cast<char>(b));
      } else {
        out += QLatin1Char('%');
        out += QLatin1Char(hex[b >> 4]);
        out += QLatin1Char(hex[b & 0xF]);
      }
    }
    return out;
  } catch (const AppError& e) {
    ReportRuntimeError(QString(), nullptr, e);
    return {};
  }
}

QString BytesToText(const QByteArray& bytes, const QString& charset) {
  try {
    const QString cs = charsetOrDefault(charset);
    // GB2312 and GBK are read as GB18030, their superset, strictly: a byte no GBK text has is a failure.
    return decodeWithIconv(bytes, isGbkFamily(cs) ? QStringLiteral("GB18030") : cs);
  } catch (const AppError& e) {
    ReportRuntimeError(QString(), nullptr, e);
    return {};
  }
}

QString BuildSmsRequestBody(const QString& text, const QString& recipients) {
  return QStringLiteral("user=") + UrlEncodeGbk(gSystemSettings[6]) + QStringLiteral("&psw=") + UrlEncodeGbk(gSystemSettings[7]) +
         QStringLiteral("&mob=") + UrlEncodeGbk(recipients) + QStringLiteral("&msg=") +
         UrlEncodeGbk(text + QStringLiteral("【") + gSystemSettings[8] + QStringLiteral("】"));
}

QString BuildAccountCheckBody(const QString& account, const QString& password) {
  return QStringLiteral("ye=ye&user=") + UrlEncodeGbk(account) + QStringLiteral("&psw=") + UrlEncodeGbk(password);
}

QString HttpPostForm(const QString& address, const QString& body, const QString& charset) {
  const RawAnswer a = postForm(address, body);
  if (a.post.outcome == HttpPostResult::Outcome::TooLong) {
    if (a.post.status != 200) return QStringLiteral("sms error");
    ReportRuntimeError(QString(), nullptr, AppError(Err::InvalidCall, a.post.error));
    return {};
  }
  if (a.post.outcome != HttpPostResult::Outcome::Answered) {
    ReportRuntimeError(QString(), nullptr, transportError(a));
    return {};
  }
  if (a.post.status != 200) return QStringLiteral("sms error");
  if (!charset.trimmed().isEmpty()) return BytesToText(a.post.body, charset);
  try {
    return decodeReply(a.post.body, a.post.contentType);
  } catch (const AppError& e) {
    ReportRuntimeError(QString(), nullptr, e);
    return {};
  }
}

void SaveSmsRecord(const QString& text, const QString& recipients) {
  gCurrentSql = QStringLiteral("select * from PJ_Duanxin where 编号=0");
  gCurrentParams.clear();
  OpenRecordset(gAuxRecordset);
  gAuxRecordset.AddNew();
  gAuxRecordset.setValue(QStringLiteral("手机"), recipients);
  gAuxRecordset.setValue(QStringLiteral("内容"), text);
  gAuxRecordset.setValue(QStringLiteral("发信人"), gUserName);
  gAuxRecordset.setValue(QStringLiteral("部门"), QString(QLatin1String("")));
  gAuxRecordset.Update();
  CloseRecordset(gAuxRecordset);
}

bool IsMobileNumber(const QString& text) {
  if (text.size() != 11) return false;
  for (QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  static const QSet<QString> prefixes = [] {
    QSet<QString> s;
    for (const QString& p : kMobilePrefixes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) s.insert(p);
    return s;
  }();
  return prefixes.contains(text.left(3));
}

SmsReply PostToSmsGateway(const QString& body) {
  using O = SmsReply::Outcome;
  SmsReply r;
  const RawAnswer a = postForm(SmsGatewayAddress(), body);
  switch (a.post.outcome) {
    case HttpPostResult::Outcome::TimedOut:
      r.outcome = O::TimedOut;
      r.detail = a.post.error;
      return r;
    case HttpPostResult::Outcome::Failed:
      r.outcome = O::Unreachable;
      r.detail = a.post.error;
      return r;
    case HttpPostResult::Outcome::Answered:
    case HttpPostResult::Outcome::TooLong: break;
  }
  r.httpStatus = a.post.status;
  if (a.post.status != 200) {
    r.outcome = O::HttpError;
    r.text = QStringLiteral("sms error");
    return r;
  }
  // What the gateway said cannot be told: the message may or may not have gone.
  auto unreadable = [&r, &a](const QString& why) {
    r.outcome = O::Undecodable;
    r.text.clear();
    r.raw = a.post.body;
    r.detail = why;
    return r;
  };
  if (a.post.outcome == HttpPostResult::Outcome::TooLong) return unreadable(a.post.error);
  try {
    r.text = decodeReply(a.post.body, a.post.contentType);
  } catch (const AppError& e) {
    return unreadable(e.description);
  }
  // A page (a proxy's error page, a maintenance notice) is no gateway's answer, whatever it says.
  QStringView start(r.text);
  if (start.startsWith(QChar(0xFEFF))) start = start.mid(1);
  if (start.trimmed().startsWith(QLatin1Char('<'))) return unreadable(QStringLiteral("回复是一个网页。"));
  const QString answer = r.text.trimmed();
  if (answer.isEmpty())
    r.outcome = O::EmptyAnswer;
  else if (answer == QLatin1String("-1"))
    r.outcome = O::Refused;
  else if (answer.contains(QStringLiteral("密码错误")))
    r.outcome = O::WrongAccount;
  else
    r.outcome = O::Accepted;
  return r;
}

SmsReply SendSmsMessage(const QString& text, const QString& recipients) {
  // The gateway takes GBK: a character it cannot carry would arrive as "?" while the history kept it.
  const QString unsendable = Gbk::unencodable(text);
  if (!unsendable.isEmpty()) {
    SmsReply refused;
    refused.outcome = SmsReply::Outcome::Unsendable;
    refused.failure = QStringLiteral("短信内容中的“%1”无法发送，请修改后再发送。").arg(unsendable);
    MsgBox(refused.failure, Mb::Critical);
    return refused;
  }
  SmsReply r = PostToSmsGateway(BuildSmsRequestBody(text, recipients));
  if (r.outcome == SmsReply::Outcome::Undecodable) {
    r.failure = QStringLiteral("短信网关的回复无法识别，短信可能没有发出，没有记入短信记录。");
    MsgBox(r.failure, Mb::Critical, QString(), failureText(QString(), r, SmsGatewayAddress(), QString()).details);
    return r;
  }
  if (!r.accepted()) {
    const FailureMessage m = failureText(QStringLiteral("短信发送失败："), r, SmsGatewayAddress(),
                                         r.outcome == SmsReply::Outcome::TimedOut
                                             ? QStringLiteral("发送结果不明，这条短信没有记入短信记录。")
                                             : QStringLiteral("这条短信没有发出，没有记入短信记录。"));
    r.failure = m.text;
    MsgBox(m.text, Mb::Critical, QString(), m.details);
    return r;
  }
  SaveSmsRecord(text, recipients);
  return r;
}

SmsReply QuerySmsAccount(const QString& account, const QString& password) {
  SmsReply r = PostToSmsGateway(BuildAccountCheckBody(account, password));
  if (r.accepted()) return r;
  const bool wrongAccount = r.outcome == SmsReply::Outcome::WrongAccount;
  const FailureMessage m = failureText(QStringLiteral("短信账号查询失败："), r, SmsGatewayAddress(),
                                       wrongAccount ? QString() : QStringLiteral("请检查网络和短信网关后再试。"));
  r.failure = m.text;
  if (!wrongAccount) MsgBox(m.text, Mb::Critical, QString(), m.details);
  return r;
}
