#pragma once
// The client side of the HTTP SMS gateway: request bodies, the
// post, GBK percent-encoding, decoding of the answer, the history row in PJ_Duanxin, the mobile
// number test. Senders (the dunning window, the SMS windows, the settings form's account check) use
// SendSmsMessage and QuerySmsAccount, which show every failure and log only accepted messages.
#include <QByteArray>
#include <QString>

// --- The gateway procedures --------------------------------------------------------------------

// The send request: "user=" account (settings item 6) "&psw=" password (item 7) "&mob=" recipients
// "&msg=" text + "【" + signature (item 8) + "】", every value through UrlEncodeGbk.
QString BuildSmsRequestBody(const QString& text, const QString& recipients);
// The account check and balance request: "ye=ye&user=" account "&psw=" password, both encoded.
// An answer containing "密码错误" means that the account or password is wrong.
QString BuildAccountCheckBody(const QString& account, const QString& password);
// Posts a form body to the address (blanks around both removed) and waits at most gSmsTimeoutMs.
// HTTP status 200: the answer decoded in `charset`, or with "" by the charset the answer declares
// (UTF-8 strictly; a GB charset, none or another: valid UTF-8 holding a multi-byte sequence as UTF-8,
// else GBK; with non-ASCII bytes, the reading that holds "密码错误" if either does; bytes none reads
// are reported and give "", as is an answer past 64 KB); another status: "sms error";
// no answer at all (refused, unreachable, time-out): reported through ReportRuntimeError and "".
QString HttpPostForm(const QString& address, const QString& body, const QString& charset = QString());
// Percent-encodes the text's GBK bytes: letters, digits and "-", "_", ".", "~" stay, a blank becomes
// "%20", every other byte "%" and two upper-case hex digits (中 gives %D6%D0, "&" gives %26).
// A character GBK does not have is sent as "?" (%3F), as the Windows code page conversion did.
QString UrlEncodeGbk(const QString& text);
// Text from bytes in a character set ("" means "GB2312"; GB2312 and GBK are read as GB18030, their
// superset). An unknown character set or undecodable bytes (in GBK too) are reported and give "".
QString BytesToText(const QByteArray& bytes, const QString& charset);
// Adds the PJ_Duanxin row of a message the gateway accepted: 手机 = recipients, 内容 = the text
// without signature, 发信人 = gUserName, 部门 = "". Traps nothing: a failure reaches the sender.
void SaveSmsRecord(const QString& text, const QString& recipients);
// Exactly 11 ASCII digits beginning with one of the mobile prefixes.
bool IsMobileNumber(const QString& text);
// The prefixes IsMobileNumber accepts: one text, blank-separated.
extern const QString kMobilePrefixes;

// --- What the senders use -----------------------------------------------------------------------

struct SmsReply {
  enum class Outcome {
    Accepted,      // status 200 with an answer that is none of the failures below
    Refused,       // the gateway answered "-1"
    WrongAccount,  // the answer contains "密码错误"
    EmptyAnswer,   // status 200 with nothing in it
    Undecodable,   // status 200 with bytes that are no GBK text, a page ("<" first, after a byte-order
                   // mark and blanks) or more than 64 KB: whether it was sent is unknown
    HttpError,     // a status other than 200 (HttpPostForm's "sms error")
    TimedOut,      // no answer within gSmsTimeoutMs
    Unreachable,   // refused connection, unknown host, bad address, broken connection
    Unsendable,    // the text holds characters GBK cannot carry: nothing was posted
  };
  Outcome outcome = Outcome::Unreachable;
  QString text;        // the decoded answer ("" without one)
  int httpStatus = 0;  // 0 without an answer
  QString detail;      // what the network said when there was no answer, or why the answer is unreadable
  QByteArray raw;      // the bytes of an answer that could not be read
  QString failure;     // the message for the user when not accepted

  bool accepted() const { return outcome == Outcome::Accepted; }
};

// Posts a body to the gateway page and sorts the answer, read as HttpPostForm reads it with "";
// shows nothing, logs nothing.
SmsReply PostToSmsGateway(const QString& body);
// A sender's whole sequence after its input checks: builds the body, posts it and, when the gateway
// accepts it, logs it with SaveSmsRecord; the caller then shows reply.text with its own title.
// A text holding characters GBK cannot carry is refused before anything is posted, naming them.
// Every failure (no answer, time-out, HTTP error, "-1", an empty or undecodable answer, "密码错误")
// is shown here in a critical message box and nothing is logged.
SmsReply SendSmsMessage(const QString& text, const QString& recipients);
// The account check and balance query. Failures without an answer, HTTP errors, "-1" and an empty
// or undecodable answer are shown here; any other answer, "密码错误" included (outcome WrongAccount,
// with its sentence in `failure`), is returned for the caller to act on: the settings form refuses
// the save, the SMS window shows the balance or the failure.
SmsReply QuerySmsAccount(const QString& account, const QString& password);
