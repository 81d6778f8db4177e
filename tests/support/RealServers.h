// What a missing real server (Dovecot for POP3, xinetd for TIME) does to the tests that
// talk to it. A developer's machine may lack one and still run everything else, so
// there the tests skip. Where DIALTALLY_REQUIRE_SERVERS is set (to anything but 0), as
// it is where the servers were installed for the suite, a missing server fails its
// tests instead, so a green suite never hides an untested network layer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace testing_support {

inline bool realServersRequired()
{
    const QByteArray value = qgetenv("DIALTALLY_REQUIRE_SERVERS");
    return !value.isEmpty() && value != "0";
}

}  // namespace testing_support

// Skips the running test (or fails it where the servers are required) when `reason`,
// why the server is not there, is not empty.
#define SKIP_OR_FAIL_WITHOUT_SERVER(reason)                                                                            \
    do {                                                                                                               \
        const QString serverMissing = (reason);                                                                        \
        if (!serverMissing.isEmpty()) {                                                                                \
            if (::testing_support::realServersRequired())                                                              \
                FAIL() << serverMissing.toStdString() << " (DIALTALLY_REQUIRE_SERVERS is set)";                        \
            else                                                                                                       \
                GTEST_SKIP() << serverMissing.toStdString();                                                           \
        }                                                                                                              \
    } while (false)
