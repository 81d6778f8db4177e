// A POP3 client (RFC 1939) for the mail checker: log in, count the waiting messages,
// read the summary (From, Subject, size) of one message, delete one, quit. Every call
// blocks its caller but keeps the event loop running (see SocketClient); every wait
// has the time-out. A failure of any kind ends the call with a NetworkError and drops
// the connection without QUIT, so the server never commits a half-done session.
#pragma once

#include "platform/core/SocketClient.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <cstdint>
#include <functional>

namespace platform {

struct Pop3Summary {
    QString From;  // the rest of the "From:" header field, blank after the colon kept
    QString Subject;  // the rest of the "Subject:" header field
    std::int64_t Bytes = 0;
    // What tells one message from its twin: the "Message-ID:" header (empty when it
    // has none) and the server's unique id (UIDL; empty when the server offers none).
    QString MessageId;
    QString Uid;
};

// The parts of an exchange that need no socket, so they can be checked on their own.
namespace pop3 {
// Undoes the byte-stuffing of a multi-line reply line: a leading "." that doubles a
// dot is dropped.
QByteArray unstuff(const QByteArray& line);
// From and Subject of a header block (the lines before the first empty one), each
// unfolded and decoded as a mail program shows it (MailHeader.h); a later line of the
// same kind replaces an earlier one. Bytes are left at 0.
Pop3Summary parseHeaders(const QByteArrayList& lines);
// The word at `index` (0-based, split at blanks) of a "+OK" reply as a non-negative
// number; false when it is missing or not a number.
bool numberAt(const QByteArray& reply, int index, std::int64_t& value);
}  // namespace pop3

class Pop3Client : public QObject {
    Q_OBJECT
public:
    explicit Pop3Client(QObject* parent = nullptr);
    ~Pop3Client() override;

    void setUserId(const QString& user) { m_user = user; }
    void setPassword(const QString& password) { m_password = password; }
    void setHost(const QString& host) { m_host = host; }
    QString host() const { return m_host; }
    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }
    void setTimeOut(int milliseconds) { m_socket.setTimeout(milliseconds); }

    // Messages in the maildrop, from the STAT of the last connect.
    int MailCount() const { return m_mailCount; }
    // The result of the last getSummary().
    const Pop3Summary& Summary() const { return m_summary; }

    // True while a session is open (from the greeting until QUIT or a failure).
    bool isConnected() const;
    // True while a call of this client waits for the network, including the time
    // OnConnect runs inside connectToServer().
    bool isBusy() const { return m_busy; }

    // Greeting, USER, PASS, STAT; then OnConnect runs before this returns. A call
    // while another one of this client is running raises NetworkErrorKind::Busy.
    void connectToServer();
    // TOP n 0, LIST n and, where the server offers it, UIDL n into Summary(). The
    // header as a whole must come within the time-out.
    void getSummary(int messageNumber);
    // The summaries of messages 1 to `count`, in order, each handed to `each` as soon
    // as its replies are in; Summary() holds the last one. Where the server announces
    // PIPELINING (CAPA, RFC 2449) the commands of many messages go out together and
    // their replies are read as they come, which spares a round trip per command;
    // elsewhere every command waits for the reply to the one before. A failure raises
    // after `each` has had every message that was read in full.
    void getSummaries(int count, const std::function<void(int messageNumber, const Pop3Summary&)>& each);
    // UIDL n: the server's lasting id of message n, or empty when the server offers
    // no UIDL (it is not asked again in this session) or has no message n.
    QString uniqueId(int messageNumber);
    // DELE n; the server removes the message only when QUIT is answered.
    void deleteMessage(int messageNumber);
    // QUIT, then close. Raises when the server does not answer "+OK", which for a
    // session with a DELE means the message may still be there.
    void disconnectFromServer();
    // Drops the connection at once; a waiting call raises NetworkErrorKind::Aborted.
    void abort();

    // The events of the exchange. The two with a handled flag let the owner fix the
    // host or the login and have the step tried once more by setting it to true; it
    // is false on entry.
    std::function<void()> OnConnect;
    std::function<void(bool& handled)> OnInvalidHost;
    std::function<void()> OnConnectionFailed;
    std::function<void(bool& handled)> OnAuthenticationFailed;

private:
    QByteArray command(const QByteArray& line, const char* name);
    QByteArray command(const QByteArray& line, const char* name, const QDeadlineTimer& deadline);
    // One status line, refused when overlong; `name` is the command it answers.
    QByteArray readReply(const char* name, const QDeadlineTimer& deadline);
    QString askUniqueId(int messageNumber);
    // The id in a reply to "UIDL n"; empty, and UIDL refused where that is what it means.
    QString uniqueIdFrom(const QByteArray& reply, int messageNumber);
    // Adds the commands of message n's summary to `commands`, to go out ahead of
    // their replies; true when UIDL n is among them.
    bool sendSummaryCommands(int messageNumber, QByteArray& commands);
    // The replies to message n's summary commands. With `sent` the commands went out
    // before (sendSummaryCommands, `uidlSent` telling whether UIDL did); without,
    // each one is written just before its reply is awaited.
    Pop3Summary readSummary(int messageNumber, bool sent, bool uidlSent);
    // Asks CAPA once a session; true when the server announces PIPELINING.
    bool offersPipelining();
    void expectOk(const QByteArray& reply, const char* name);
    void openSocket();
    bool login();
    // Runs one step of a session; any failure drops the connection before it raises.
    template <class F>
    void step(F&& body);

    SocketClient m_socket;
    QString m_user;
    QString m_password;
    QString m_host;
    int m_port = 110;
    int m_mailCount = 0;
    Pop3Summary m_summary;
    bool m_session = false;
    bool m_busy = false;
    // UIDL is optional (RFC 1939): a server that refuses it once is not asked again.
    enum class Uidl { Unknown, Offered, Refused } m_uidl = Uidl::Unknown;
    // CAPA is optional too: a server that refuses it is asked one command at a time.
    enum class Pipelining { Unknown, Offered, Refused } m_pipelining = Pipelining::Unknown;
};

}  // namespace platform
