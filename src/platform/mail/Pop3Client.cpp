#include "platform/mail/Pop3Client.h"

#include "platform/mail/MailHeader.h"

#include <QScopedValueRollback>

#include <deque>

#include <utility>

namespace platform {

namespace pop3 {

QByteArray unstuff(const QByteArray& line)
{
    if (line.startsWith(".."))
        return line.mid(1);
    return line;
}

Pop3Summary parseHeaders(const QByteArrayList& lines)
{
    static const QByteArray from = "from:";
    static const QByteArray subject = "subject:";
    static const QByteArray messageId = "message-id:";
    // Each field with its folded continuation lines (those that begin with a blank),
    // joined again by the CR LF that the line reader took off.
    QByteArrayList fields;
    for (const QByteArray& line : lines) {
        // A body line that looks like a header must not count.
        if (line.isEmpty())
            break;
        if ((line.startsWith(' ') || line.startsWith('\t')) && !fields.isEmpty())
            fields.last() += "\r\n" + line;
        else
            fields.append(line);
    }
    Pop3Summary summary;
    for (const QByteArray& field : fields) {
        // Header names are case-insensitive (RFC 5322); "FROM:" is still the sender.
        const QByteArray lower = field.left(messageId.size()).toLower();
        if (lower.startsWith(from))
            summary.From = mailheader::displayText(field.mid(from.size()));
        else if (lower.startsWith(subject))
            summary.Subject = mailheader::displayText(field.mid(subject.size()));
        else if (lower.startsWith(messageId))
            summary.MessageId = QString::fromLatin1(field.mid(messageId.size()).simplified());
    }
    return summary;
}

bool numberAt(const QByteArray& reply, int index, std::int64_t& value)
{
    const QList<QByteArray> words = reply.simplified().split(' ');
    if (index >= words.size())
        return false;
    const QByteArray& word = words.at(index);
    if (word.isEmpty() || word.size() > 18)
        return false;
    for (const char c : word) {
        if (c < '0' || c > '9')
            return false;
    }
    value = word.toLongLong();
    return true;
}

}  // namespace pop3

namespace {

// The longest line we accept in a reply. RFC 1939 bounds status lines at 512 octets
// and RFC 5322 header lines at 998; anything far beyond is not a POP3 server.
constexpr qsizetype kMaxLine = qsizetype{64} * 1024;
// TOP n 0 returns the header only; a reply beyond these is a server gone wrong. Every
// line counts with its line end, so a stream of empty lines ends too.
constexpr qsizetype kMaxHeaderBytes = 16 * kMaxLine;
constexpr int kMaxHeaderLines = 10000;
// Messages whose summary commands may be out at once on a server with PIPELINING:
// enough that the server never waits for us, few enough that the replies in flight
// stay a few hundred kilobytes and a server gone wrong is met early.
constexpr int kPipelineDepth = 64;

// A CR or LF in an argument would end our command early and send the rest to the
// server as a command of its own (a DELE, say); a NUL cuts it on many servers.
bool breaksTheCommandLine(const QString& argument)
{
    return argument.contains(QLatin1Char('\r')) || argument.contains(QLatin1Char('\n')) || argument.contains(QChar(0));
}

// The line broke down or went silent, as opposed to a reply we could not accept.
bool isLostConnection(NetworkErrorKind kind)
{
    return kind == NetworkErrorKind::ConnectionClosed || kind == NetworkErrorKind::TimedOut
           || kind == NetworkErrorKind::Other;
}

NetworkError protocolError(const QString& text)
{
    return NetworkError(NetworkErrorKind::Protocol, text);
}

}  // namespace

Pop3Client::Pop3Client(QObject* parent)
    : QObject(parent)
    , m_socket(this)
{
    m_socket.setTimeout(10000);
}

Pop3Client::~Pop3Client() = default;

bool Pop3Client::isConnected() const
{
    return m_session && m_socket.isConnected();
}

void Pop3Client::abort()
{
    m_session = false;
    m_socket.abort();
}

template <class F>
void Pop3Client::step(F&& body)
{
    // A call that would start inside another's wait is refused before it touches any
    // state, so the running call finds everything as it left it.
    if (m_socket.isBusy())
        throw NetworkError(NetworkErrorKind::Busy, QStringLiteral("The POP3 client is busy"));
    const QScopedValueRollback busy(m_busy, true);
    try {
        std::forward<F>(body)();
    } catch (...) {
        // Leaving without QUIT keeps the server from committing a DELE of a session
        // that went wrong (RFC 1939, section 6).
        m_session = false;
        m_socket.abort();
        throw;
    }
}

QByteArray Pop3Client::command(const QByteArray& line, const char* name)
{
    return command(line, name, QDeadlineTimer(m_socket.timeout()));
}

QByteArray Pop3Client::command(const QByteArray& line, const char* name, const QDeadlineTimer& deadline)
{
    m_socket.write(line + "\r\n");
    return readReply(name, deadline);
}

QByteArray Pop3Client::readReply(const char* name, const QDeadlineTimer& deadline)
{
    QByteArray reply = m_socket.readLine(deadline);
    if (reply.size() > kMaxLine)
        throw protocolError(QStringLiteral("The POP3 server sent an overlong reply to %1").arg(QLatin1String(name)));
    return reply;
}

void Pop3Client::expectOk(const QByteArray& reply, const char* name)
{
    if (reply == "+OK" || reply.startsWith("+OK "))
        return;
    QString shown = QString::fromLatin1(reply.left(200)).trimmed();
    if (shown.isEmpty())
        shown = QStringLiteral("an empty line");
    throw protocolError(QStringLiteral("The POP3 server refused %1: %2").arg(QLatin1String(name), shown));
}

void Pop3Client::openSocket()
{
    for (;;) {
        try {
            // Cut to 16 bits, a port of 65646 would quietly reach port 110.
            if (m_port < 1 || m_port > 65535) {
                const QString text = QStringLiteral("The port %1 for %2 is not a TCP port (1 to 65535)");
                throw NetworkError(NetworkErrorKind::Other, text.arg(m_port).arg(m_host));
            }
            m_socket.connectToHost(m_host, static_cast<quint16>(m_port));
            return;
        } catch (const NetworkError& error) {
            if (error.kind() == NetworkErrorKind::HostNotFound) {
                bool handled = false;
                if (OnInvalidHost)
                    OnInvalidHost(handled);
                if (handled)
                    continue;
            } else if (error.kind() != NetworkErrorKind::Busy && error.kind() != NetworkErrorKind::Aborted) {
                if (OnConnectionFailed)
                    OnConnectionFailed();
            }
            throw;
        }
    }
}

bool Pop3Client::login()
{
    // Answers that are not "+OK" to USER or PASS mean the login was refused; a line
    // that breaks down or times out is a network failure and reported as such.
    const QByteArray userReply = command("USER " + m_user.toUtf8(), "USER");
    bool ok = userReply == "+OK" || userReply.startsWith("+OK ");
    QByteArray refused = userReply;
    if (ok) {
        const QByteArray passReply = command("PASS " + m_password.toUtf8(), "PASS");
        ok = passReply == "+OK" || passReply.startsWith("+OK ");
        refused = passReply;
    }
    if (ok)
        return true;
    bool handled = false;
    if (OnAuthenticationFailed)
        OnAuthenticationFailed(handled);
    if (handled)
        return false;
    throw protocolError(QStringLiteral("The POP3 server refused the login of %1: %2")
                            .arg(m_user, QString::fromLatin1(refused.left(200)).trimmed()));
}

void Pop3Client::connectToServer()
{
    step([this] {
        m_session = false;
        m_mailCount = 0;
        m_summary = Pop3Summary();
        m_uidl = Uidl::Unknown;
        m_pipelining = Pipelining::Unknown;

        for (;;) {
            // Checked on every round, as a handled login failure may change them.
            if (m_user.isEmpty() || m_password.isEmpty())
                throw protocolError(QStringLiteral("A user ID and a password are needed to log in to %1").arg(m_host));
            if (breaksTheCommandLine(m_user) || breaksTheCommandLine(m_password))
                throw protocolError(QStringLiteral("The user ID or the password for %1 holds a line break or a NUL "
                                                   "character, which a POP3 command cannot carry")
                                        .arg(m_host));
            openSocket();
            QByteArray greeting;
            try {
                greeting = m_socket.readLine();
                expectOk(greeting, "the connection");
            } catch (const NetworkError& error) {
                if (error.kind() != NetworkErrorKind::Busy && error.kind() != NetworkErrorKind::Aborted
                    && OnConnectionFailed)
                    OnConnectionFailed();
                throw;
            }
            bool loggedIn = false;
            try {
                loggedIn = login();
            } catch (const NetworkError& error) {
                // A server that greets and then drops the line or stops answering did
                // not take the connection; a refused login has had its own event.
                if (isLostConnection(error.kind()) && OnConnectionFailed)
                    OnConnectionFailed();
                throw;
            }
            if (loggedIn)
                break;
            // The owner asked for another try with what it changed: start over, as a
            // server may close the line after a refused login.
            m_socket.abort();
        }

        std::int64_t count = 0;
        QByteArray stat;
        try {
            stat = command("STAT", "STAT");
        } catch (const NetworkError& error) {
            if (isLostConnection(error.kind()) && OnConnectionFailed)
                OnConnectionFailed();
            throw;
        }
        expectOk(stat, "STAT");
        // A maildrop size we cannot read must not pass for an empty maildrop.
        if (!pop3::numberAt(stat, 1, count) || count > 0x7fffffff)
            throw protocolError(QStringLiteral("The POP3 server sent a garbled STAT reply: %1")
                                    .arg(QString::fromLatin1(stat.left(200))));
        m_mailCount = static_cast<int>(count);
        m_session = true;
        if (OnConnect)
            OnConnect();
    });
}

Pop3Summary Pop3Client::readSummary(int messageNumber, bool sent, bool uidlSent)
{
    const QByteArray number = QByteArray::number(messageNumber);
    const auto ask = [&](const QByteArray& line) {
        if (!sent)
            m_socket.write(line + "\r\n");
    };
    // One time-out for the whole header: a server that sends a line just inside
    // each wait would otherwise hold the check for hours.
    const QDeadlineTimer header(m_socket.timeout());
    const auto tooSlow = [&](const NetworkError& error) {
        if (error.kind() != NetworkErrorKind::TimedOut)
            return error;
        return NetworkError(NetworkErrorKind::TimedOut,
                            QStringLiteral("The POP3 server did not send the header of message %1 within %2 "
                                           "seconds")
                                .arg(messageNumber)
                                .arg(m_socket.timeout() / 1000.0));
    };
    QByteArrayList lines;
    try {
        ask("TOP " + number + " 0");
        expectOk(readReply("TOP", header), "TOP");
    } catch (const NetworkError& error) {
        throw tooSlow(error);
    }
    qsizetype total = 0;
    for (;;) {
        QByteArray line;
        try {
            line = m_socket.readLine(header);
        } catch (const NetworkError& error) {
            throw tooSlow(error);
        }
        if (line == ".")
            break;
        total += line.size() + 2;
        if (line.size() > kMaxLine || total > kMaxHeaderBytes || lines.size() >= kMaxHeaderLines)
            throw protocolError(
                QStringLiteral("The POP3 server sent an overlong header for message %1").arg(messageNumber));
        lines.append(pop3::unstuff(line));
    }
    Pop3Summary summary = pop3::parseHeaders(lines);

    ask("LIST " + number);
    const QByteArray list = readReply("LIST", QDeadlineTimer(m_socket.timeout()));
    expectOk(list, "LIST");
    std::int64_t listed = 0;
    std::int64_t bytes = 0;
    if (!pop3::numberAt(list, 1, listed) || listed != messageNumber || !pop3::numberAt(list, 2, bytes))
        throw protocolError(QStringLiteral("The POP3 server sent a garbled LIST reply: %1")
                                .arg(QString::fromLatin1(list.left(200))));
    summary.Bytes = bytes;
    if (sent ? uidlSent : m_uidl != Uidl::Refused) {
        ask("UIDL " + number);
        const QByteArray reply = readReply("UIDL", QDeadlineTimer(m_socket.timeout()));
        // Sent ahead, the UIDL of a later message may meet a server that has just
        // refused UIDL: its reply is read all the same and counts for nothing.
        if (m_uidl != Uidl::Refused)
            summary.Uid = uniqueIdFrom(reply, messageNumber);
    }
    return summary;
}

void Pop3Client::getSummary(int messageNumber)
{
    step([this, messageNumber] {
        if (!isConnected())
            throw NetworkError(NetworkErrorKind::ConnectionClosed, QStringLiteral("Not connected to the POP3 server"));
        m_summary = Pop3Summary();
        m_summary = readSummary(messageNumber, false, false);
    });
}

bool Pop3Client::offersPipelining()
{
    if (m_pipelining != Pipelining::Unknown)
        return m_pipelining == Pipelining::Offered;
    m_pipelining = Pipelining::Refused;
    const QDeadlineTimer deadline(m_socket.timeout());
    const QByteArray reply = command("CAPA", "CAPA", deadline);
    // A server of RFC 1939 alone answers "-ERR" to a command it does not know.
    if (!(reply == "+OK" || reply.startsWith("+OK ")))
        return false;
    bool offered = false;
    for (int count = 0;; ++count) {
        const QByteArray line = m_socket.readLine(deadline);
        if (line == ".")
            break;
        if (line.size() > kMaxLine || count >= kMaxHeaderLines)
            throw protocolError(QStringLiteral("The POP3 server sent an overlong reply to CAPA"));
        if (line.simplified().split(' ').first().toUpper() == "PIPELINING")
            offered = true;
    }
    if (offered)
        m_pipelining = Pipelining::Offered;
    return offered;
}

bool Pop3Client::sendSummaryCommands(int messageNumber, QByteArray& commands)
{
    const QByteArray number = QByteArray::number(messageNumber);
    commands += "TOP " + number + " 0\r\nLIST " + number + "\r\n";
    if (m_uidl == Uidl::Refused)
        return false;
    commands += "UIDL " + number + "\r\n";
    return true;
}

void Pop3Client::getSummaries(int count, const std::function<void(int, const Pop3Summary&)>& each)
{
    step([this, count, &each] {
        if (!isConnected())
            throw NetworkError(NetworkErrorKind::ConnectionClosed, QStringLiteral("Not connected to the POP3 server"));
        m_summary = Pop3Summary();
        // A single message gains nothing from a batch.
        if (count <= 1 || !offersPipelining()) {
            for (int n = 1; n <= count; ++n) {
                m_summary = readSummary(n, false, false);
                each(n, m_summary);
            }
            return;
        }
        // The messages whose commands are out and whose replies are not read yet,
        // each with whether its UIDL went along. Refilled at half depth, so the server
        // always has work while we read, and the commands go in one write.
        std::deque<bool> uidlSent;
        int sent = 0;
        for (int n = 1; n <= count; ++n) {
            // A server that closed the line gets nothing more: the replies it sent
            // before are read, then the wait reports the close.
            if (sent < count && static_cast<int>(uidlSent.size()) <= kPipelineDepth / 2 && m_socket.isConnected()) {
                QByteArray commands;
                while (sent < count && static_cast<int>(uidlSent.size()) < kPipelineDepth)
                    uidlSent.push_back(sendSummaryCommands(++sent, commands));
                m_socket.write(commands);
            }
            const bool uidl = !uidlSent.empty() && uidlSent.front();
            if (!uidlSent.empty())
                uidlSent.pop_front();
            m_summary = readSummary(n, true, uidl);
            each(n, m_summary);
        }
    });
}

QString Pop3Client::uniqueId(int messageNumber)
{
    QString uid;
    step([this, messageNumber, &uid] {
        if (!isConnected())
            throw NetworkError(NetworkErrorKind::ConnectionClosed, QStringLiteral("Not connected to the POP3 server"));
        if (m_uidl != Uidl::Refused)
            uid = askUniqueId(messageNumber);
    });
    return uid;
}

QString Pop3Client::askUniqueId(int messageNumber)
{
    return uniqueIdFrom(command("UIDL " + QByteArray::number(messageNumber), "UIDL"), messageNumber);
}

QString Pop3Client::uniqueIdFrom(const QByteArray& reply, int messageNumber)
{
    if (!(reply == "+OK" || reply.startsWith("+OK "))) {
        // Once offered, a refusal means there is no such message; before that, that
        // the server has no UIDL at all.
        if (m_uidl == Uidl::Unknown)
            m_uidl = Uidl::Refused;
        return QString();
    }
    // "+OK n id", the id 1 to 70 printable characters (RFC 1939, section 7). UIDL is
    // optional and only names messages for a deletion: a reply we cannot read counts
    // as no UIDL at all, so the check lists the mail and the deletion falls back on
    // the headers.
    const QList<QByteArray> words = reply.simplified().split(' ');
    std::int64_t listed = 0;
    bool readable =
        words.size() == 3 && pop3::numberAt(reply, 1, listed) && listed == messageNumber && words[2].size() <= 70;
    for (const char c : readable ? words[2] : QByteArray()) {
        if (c < 0x21 || c > 0x7e)
            readable = false;
    }
    if (!readable) {
        m_uidl = Uidl::Refused;
        return QString();
    }
    m_uidl = Uidl::Offered;
    return QString::fromLatin1(words[2]);
}

void Pop3Client::deleteMessage(int messageNumber)
{
    step([this, messageNumber] {
        if (!isConnected())
            throw NetworkError(NetworkErrorKind::ConnectionClosed, QStringLiteral("Not connected to the POP3 server"));
        expectOk(command("DELE " + QByteArray::number(messageNumber), "DELE"), "DELE");
    });
}

void Pop3Client::disconnectFromServer()
{
    if (!isConnected()) {
        m_session = false;
        m_socket.disconnectFromHost();
        return;
    }
    step([this] {
        expectOk(command("QUIT", "QUIT"), "QUIT");
        m_session = false;
        m_socket.disconnectFromHost();
    });
}

}  // namespace platform
