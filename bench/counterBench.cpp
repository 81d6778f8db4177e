// One tick of the monitoring session: counting (elapsed time, a charge every minute,
// the backup slot) and idle, against the SQLite registry store in a temporary folder.
// The session needs no window, so neither does this.
#include "dialtally/core/Charging.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/MonitoringSession.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"
#include "common/RegistryNames.h"
#include "support/core/SessionProbe.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

namespace rk = regkeys;
using platform::RootKey;

class SteppedClock : public platform::Clock {
public:
    QDateTime now() const override { return m_now; }
    void advance() { m_now = m_now.addSecs(1); }

private:
    QDateTime m_now = QDateTime(QDate(2000, 1, 3), QTime(10, 0, 0));
};

// Nothing may have to be told to the user while the clock runs.
struct Messages {
    explicit Messages(MonitoringSession& session)
    {
        const auto count = [this](const QString& text) {
            std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
            ++raised;
        };
        QObject::connect(&session, &MonitoringSession::errorRaised, count);
        QObject::connect(&session, &MonitoringSession::failureRaised, count);
    }
    int raised = 0;
};

void put(RootKey root, const char* key, const QString& value, int number)
{
    platform::Registry r;
    r.setRootKey(root);
    r.openKey(QString::fromLatin1(key), true);
    r.writeInteger(value, number);
}

void putText(RootKey root, const QString& key, const QString& value, const QString& text)
{
    platform::Registry r;
    r.setRootKey(root);
    r.openKey(key, true);
    r.writeString(value, text);
}

void putLine(bool up)
{
    platform::Registry r;
    r.setRootKey(RootKey::LocalMachine);
    r.openKey(QString::fromLatin1(rk::kRemoteAccessService), true);
    QByteArray bytes(4, '\0');
    bytes[0] = up ? 1 : 0;
    r.writeBinaryData(QString::fromLatin1(rk::vRemoteConnection), bytes);
}

struct Setup {
    QTemporaryDir config;
    QTemporaryDir program;
    SteppedClock clock;

    Setup()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        platform::resetProcessStore();
        platform::setClock(&clock);
        const auto s = [](const char* n) { return QString::fromLatin1(n); };
        putText(RootKey::LocalMachine, s(rk::kSoftware), s(rk::vProgramPath), program.path());
        put(RootKey::LocalMachine, rk::kSoftware, s(rk::vBug), 1);
        put(RootKey::LocalMachine, rk::kCounterCurrent, s(rk::vBackup), 0);
        put(RootKey::CurrentUser, rk::kSoftware, s(rk::vConnectDelay), 15);
        put(RootKey::CurrentUser, rk::kSoftware, s(rk::vMaxd), 0);
        put(RootKey::CurrentUser, rk::kExec, s(rk::vLines), 0);
        // The period start and the budget, which every tick shows.
        put(RootKey::LocalMachine, rk::kCounterAll, s(rk::vYear), 2000);
        put(RootKey::LocalMachine, rk::kCounterAll, s(rk::vMonth), 1);
        put(RootKey::LocalMachine, rk::kCounterAll, s(rk::vDay), 1);
        put(RootKey::LocalMachine, rk::kCounterAll, s(rk::vDouble), platform::dayNumber(QDate(2000, 1, 1)));
        put(RootKey::CurrentUser, rk::kBudget, s(rk::vOnOff), 1);
        put(RootKey::CurrentUser, rk::kBudget, s(rk::vBudgetMoney), 1000);
        put(RootKey::CurrentUser, rk::kBudget, s(rk::vBudgetCents), 0);
        put(RootKey::CurrentUser, rk::kBudget, s(rk::vBudgetReserve), 1);
        put(RootKey::CurrentUser, rk::kBudget, s(rk::vBudgetCh), 1);
        putText(RootKey::CurrentUser, s(rk::kRemoteAccess), s(rk::vDefault), QStringLiteral("ISP"));
        const QString slot = settings::SlotProfile.in(QStringLiteral("ISP\\1")).key;
        putText(RootKey::CurrentUser, slot, s(rk::vSlotTariffProfile), QStringLiteral("Day"));
        for (const char* v : {rk::vStartingInterval, rk::vEndingInterval, rk::vDayCost, rk::vNightCost, rk::vOcpDay}) {
            platform::Registry r;
            r.setRootKey(RootKey::CurrentUser);
            r.openKey(slot, true);
            r.writeInteger(s(v), v == rk::vEndingInterval ? 20 : v == rk::vStartingInterval ? 8 : 5);
        }
    }
    ~Setup()
    {
        platform::setClock(nullptr);
        platform::resetProcessStore();
    }
};

void BM_CountingTick(benchmark::State& state)
{
    Setup setup;
    MonitoringSession session;
    Messages messages(session);
    SessionProbe::windowsUser(session) = QStringLiteral("bench");
    putLine(true);
    session.tick();  // opens the connection
    if (session.connection().state() != ConnectionState::Counting) {
        state.SkipWithError("the connection did not open");
        return;
    }
    for (auto _ : state) {
        setup.clock.advance();
        session.tick();
    }
    state.counters["charged_cents"] = session.connection().fee();
    state.counters["messages"] = messages.raised;
}
BENCHMARK(BM_CountingTick)->Unit(benchmark::kMicrosecond)->Iterations(3000);

void BM_IdleTick(benchmark::State& state)
{
    Setup setup;
    MonitoringSession session;
    Messages messages(session);
    putLine(false);
    session.tick();
    for (auto _ : state) {
        setup.clock.advance();
        session.tick();
    }
    state.counters["messages"] = messages.raised;
}
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMicrosecond)->Iterations(3000);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
