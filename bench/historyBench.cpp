// The history views over long histories: the Connections list (its model alone, and
// the dialog until it has drawn its rows), the text report and the start-up pass, on
// generated files of 10 000, 100 000 and 1 000 000 records. Each figure is given
// beside history::readAll of the same file in the same run ("x_readAll"), and a
// plain decode of the file by python3 is measured in the same run for reference.
#include "Application.h"
#include "LocalTime.h"
#include "MessageBox.h"
#include "Registry.h"
#include "MainWindow.h"
#include "ProgramEntry.h"
#include "ConnectionsDialog.h"
#include "ConnectionsModel.h"
#include "History.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

namespace {

class FixedClock : public platform::Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2002, 10, 9), QTime(12, 0, 0)); }
};

class NoBoxes : public platform::MessageBoxes {
public:
    int show(const platform::MessageRequest& request) override
    {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(request.text));
        return platform::IDOK;
    }
};

// Resident memory of this process, from the kernel's own count.
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// A history over three years, five providers and three users, ended in file order.
void writeHistory(const QString& folder, int count)
{
    static const char* const providers[] = {"Demon Internet", "FreeNet", "Planet Dial", "ISP", "Tele Line"};
    static const char* const users[] = {"alice", "Bob", "Charlie Smith"};
    QFile file(history::historyFile(folder));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    const QDateTime first(QDate(1999, 10, 10), QTime(0, 0));
    const qint64 span = 3LL * 365 * 86400;
    QByteArray block;
    std::uint32_t seed = 12345;
    const auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int i = 0; i < count; ++i) {
        history::HistoryRecord r;
        const QDateTime start = first.addSecs(span * i / count);
        const int seconds = static_cast<int>(random() % 7200);
        const QDateTime end = start.addSecs(seconds);
        r.StartTime = platform::toSystemTime(start);
        r.EndTime = platform::toSystemTime(end);
        r.DurationSeconds = seconds;
        r.FeeCents = static_cast<std::int32_t>(random() % 2500);
        r.setProviderName(QString::fromLatin1(providers[random() % 5]));
        r.setUserName(QString::fromLatin1(users[random() % 3]));
        block += history::encode(r);
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
}

// One program folder with its history per size, made once for the whole run.
struct Files {
    QTemporaryDir config;
    std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    std::map<int, double> readAllSeconds;

    QString folder(int count)
    {
        auto& dir = folders[count];
        if (!dir) {
            dir = std::make_unique<QTemporaryDir>();
            writeHistory(dir->path(), count);
        }
        return dir->path();
    }

    // The best of several runs of history::readAll on the file.
    double readAll(int count)
    {
        auto found = readAllSeconds.find(count);
        if (found != readAllSeconds.end())
            return found->second;
        const QString path = folder(count);
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            benchmark::DoNotOptimize(history::readAll(path));
            best = std::min(best, t.nsecsElapsed() / 1e9);
        }
        return readAllSeconds[count] = best;
    }
};

Files* files = nullptr;

// Figures of one benchmark: the time of one iteration beside readAll's.
void besideReadAll(benchmark::State& state, double totalSeconds, int count)
{
    const double each = totalSeconds / static_cast<double>(state.iterations());
    state.counters["ms"] = each * 1e3;
    state.counters["readAll_ms"] = files->readAll(count) * 1e3;
    state.counters["x_readAll"] = each / files->readAll(count);
    state.SetItemsProcessed(state.iterations() * count);
}

template <typename Work>
void timed(benchmark::State& state, Work work)
{
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        work();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    besideReadAll(state, total, count);
}

void BM_ReadAll(benchmark::State& state)
{
    const QString path = files->folder(static_cast<int>(state.range(0)));
    timed(state, [&] { benchmark::DoNotOptimize(history::readAll(path)); });
}

void BM_ConnectionsModelLoad(benchmark::State& state)
{
    const QString path = files->folder(static_cast<int>(state.range(0)));
    connections::ConnectionsModel model;
    timed(state, [&] {
        model.load(path, connections::AllDays, 9, 10);
        benchmark::DoNotOptimize(model.index(0, 4).data());
    });
}

// The dialog shown, then a click on "All days" until the list has drawn its rows;
// memory before opening, with the list open and after closing. The allocator keeps
// freed blocks below its mapping threshold for reuse, so the memory figures are those
// of a run of this benchmark alone, e.g. --benchmark_filter=BM_ConnectionsReady/1000000.
void BM_ConnectionsReady(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    MainWindow main;
    main.session().programPath = files->folder(count);
    const double idle = residentMegabytes();
    double open = 0;
    double closed = 0;
    {
        ConnectionsDialog dialog(main.session());
        dialog.show();
        QApplication::processEvents();
        timed(state, [&] {
            dialog.allDaysClicked();
            dialog.connectionList->viewport()->repaint();
        });
        open = residentMegabytes();
        dialog.done(1);
    }
    QApplication::processEvents();
    closed = residentMegabytes();
    const double fileMb = count * double(history::kRecordSize) / (1024.0 * 1024.0);
    state.counters["file_MB"] = fileMb;
    state.counters["rss_idle_MB"] = idle;
    state.counters["rss_open_above_idle_MB"] = open - idle;
    state.counters["rss_closed_above_idle_MB"] = closed - idle;
    state.counters["open_x_file"] = (open - idle) / fileMb;
}

void BM_ConnectionsSortByFee(benchmark::State& state)
{
    const QString path = files->folder(static_cast<int>(state.range(0)));
    connections::ConnectionsModel model;
    model.load(path, connections::AllDays, 9, 10);
    bool ascending = true;
    timed(state, [&] { model.sortRows(1, ascending = !ascending); });
}

void BM_ConnectionsSortByUser(benchmark::State& state)
{
    const QString path = files->folder(static_cast<int>(state.range(0)));
    connections::ConnectionsModel model;
    model.load(path, connections::AllDays, 9, 10);
    bool ascending = true;
    timed(state, [&] { model.sortRows(-1, ascending = !ascending); });
}

void BM_Report(benchmark::State& state)
{
    MainWindow main;
    main.session().programPath = files->folder(static_cast<int>(state.range(0)));
    timed(state, [&] {
        if (!main.session().writeReport(2002, 10, 9))
            state.SkipWithError("the report was not written");
    });
}

void BM_StartupPass(benchmark::State& state)
{
    const QString path = files->folder(static_cast<int>(state.range(0)));
    const QDate today(2002, 10, 9);
    timed(state, [&] { benchmark::DoNotOptimize(history::startupSums(path, today)); });
}

// python3's own figure for the decode, without its start-up.
void BM_PythonPlainDecode(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QString file = history::historyFile(files->folder(count));
    const QString script = QStringLiteral(DIALTALLY_BENCH_DIR "/plain_decode.py");
    double total = 0;
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("python3"), {script, file});
        if (!python.waitForFinished(120000) || python.exitCode() != 0) {
            state.SkipWithError("python3 did not decode the file");
            return;
        }
        const double seconds = QString::fromLatin1(python.readAllStandardOutput()).split(' ').value(0).toDouble();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    besideReadAll(state, total, count);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(10000)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ReadAll)->Apply(sizes);
BENCHMARK(BM_PythonPlainDecode)->Apply(sizes)->Iterations(3);
BENCHMARK(BM_ConnectionsModelLoad)->Apply(sizes);
BENCHMARK(BM_ConnectionsReady)->Apply(sizes);
BENCHMARK(BM_ConnectionsSortByFee)->Apply(sizes);
BENCHMARK(BM_ConnectionsSortByUser)->Apply(sizes);
BENCHMARK(BM_Report)->Apply(sizes);
BENCHMARK(BM_StartupPass)->Apply(sizes);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Files made;
    qputenv("XDG_CONFIG_HOME", made.config.path().toLocal8Bit());
    QApplication app(argc, argv);
    FixedClock clock;
    NoBoxes boxes;
    platform::resetProcessStore();
    platform::setClock(&clock);
    platform::setMessageBoxes(&boxes);
    files = &made;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    files = nullptr;
    platform::setClock(nullptr);
    platform::setMessageBoxes(nullptr);
    platform::resetProcessStore();
    return 0;
}
