// A real RFC 868 server for tests: xinetd's internal "time" stream service, started
// with a configuration of its own that binds 127.0.0.1 on a free port. The daemon
// runs in the foreground as our child and is stopped when the fixture goes.
#pragma once

#include "support/RealServers.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <optional>

namespace testing_support {

class XinetdTimeServer {
public:
    XinetdTimeServer();
    ~XinetdTimeServer();
    XinetdTimeServer(const XinetdTimeServer&) = delete;
    XinetdTimeServer& operator=(const XinetdTimeServer&) = delete;

    // The xinetd program, or empty when it is not installed.
    static QString program();

    // Instead of the clock of this machine, the server sends this count for every
    // connection: xinetd runs printf for it, as it would any outside TIME server.
    // Call before start().
    void serveCount(std::uint32_t count) { m_count = count; }

    // Starts the daemon and waits (at most a few seconds) until it accepts
    // connections. False with `why` set when it could not be started.
    bool start(QString* why);
    void stop();

    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    std::optional<std::uint32_t> m_count;
};

}  // namespace testing_support

// Skips the running test when xinetd is not installed on this machine, or fails it
// where the real servers are required (RealServers.h).
#define SKIP_UNLESS_XINETD_INSTALLED()                                                                                 \
    SKIP_OR_FAIL_WITHOUT_SERVER(::testing_support::XinetdTimeServer::program().isEmpty() ? QStringLiteral(             \
                                    "xinetd is not installed: the real RFC 868 server is not available")               \
                                                                                         : QString())
