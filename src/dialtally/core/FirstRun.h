// Who runs the program, and the settings a first run or a new Windows user starts from.
#pragma once

#include "dialtally/core/SessionContext.h"

#include <QObject>
#include <QString>

struct SessionProbe;

class FirstRun : public QObject {
    Q_OBJECT
public:
    explicit FirstRun(SessionContext& context, QObject* parent = nullptr);

    // The Windows user as the store names it: "Default" on a machine without a log-on.
    const QString& windowsUser() const { return m_windowsUser; }

    // Reads the program's folder and who runs it; on the installation's first run the
    // counter period begins today. The per-user key belongs to one Windows user: a new
    // user, or anyone else, gets a fresh one with the defaults.
    void begin();
    // The first run's and a new user's defaults, all of them or none.
    void writeDefaultSettings();

signals:
    // The first run's or a new user's defaults are in the store.
    void defaultsWritten();

private:
    friend struct SessionProbe;
    void storeCounterStartDate();

    SessionContext& m_context;
    QString m_windowsUser;
};
