// The history views over long histories: the Connections list (its model alone, and
// the dialog until it has drawn its rows), the Statistics and Graphs dialogs, the text
// report and the start-up pass, on generated files of 10 000, 100 000 and 1 000 000
// records. Each figure is given beside history::readAll of the same file in the same
// run ("x_readAll"); a plain decode of the file by python3, and python3's own
// aggregation of what Statistics and Graphs show, are measured in the same run for
// reference.
#include "platform/gui/Application.h"
#include "platform/core/LocalTime.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/Registry.h"
#include "common/RegistryNames.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/gui/ProgramWindows.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "dialtally/core/ConnectionsModel.h"
#include "dialtally/gui/GraphsDialog.h"
#include "support/core/SessionProbe.h"
#include "dialtally/gui/StatisticsDialog.h"
#include "dialtally/core/History.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

class FixedClock : public platform::Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2002, 10, 9), QTime(12, 0, 0)); }
};

class NoBoxes : public platform::MessageBoxes {
public:
    platform::Answer show(const platform::MessageRequest& request) override
    {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(request.text));
        return platform::Answer::Ok;
    }
};

// A figure of this process's memory from the kernel's own count ("VmRSS:", or
// "VmHWM:", the peak since the last resetPeakResident).
double statusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').value(0).toDouble()
                   / 1024.0;
    }
    return 0;
}

double residentMegabytes()
{
    return statusMegabytes("VmRSS:");
}

// The peak is the resident memory from here on (Linux 4.0 and later).
void resetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double peakResidentMegabytes()
{
    return statusMegabytes("VmHWM:");
}

double fileMegabytes(int count)
{
    return count * double(history::kRecordSize) / (1024.0 * 1024.0);
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
        r.StartTime = platform::LocalDateTime::fromDateTime(start);
        r.EndTime = platform::LocalDateTime::fromDateTime(end);
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

// The seconds of all iterations of `work`.
template <typename Work>
double timedLoop(benchmark::State& state, Work work)
{
    double total = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        work();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    return total;
}

template <typename Work>
void timed(benchmark::State& state, Work work)
{
    besideReadAll(state, timedLoop(state, work), static_cast<int>(state.range(0)));
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
    SessionProbe::programPath(main.session()) = files->folder(count);
    const double idle = residentMegabytes();
    double open = 0;
    double closed = 0;
    {
        ConnectionsDialog dialog(main.session());
        dialog.show();
        QApplication::processEvents();
        auto* list = dialog.findChild<QTableView*>(QStringLiteral("connectionList"));
        timed(state, [&] {
            dialog.allDaysClicked();
            list->viewport()->repaint();
        });
        open = residentMegabytes();
        dialog.done(1);
    }
    QApplication::processEvents();
    closed = residentMegabytes();
    const double fileMb = fileMegabytes(count);
    state.counters["file_MB"] = fileMb;
    state.counters["rss_idle_MB"] = idle;
    state.counters["rss_open_above_idle_MB"] = open - idle;
    state.counters["rss_closed_above_idle_MB"] = closed - idle;
    state.counters["open_x_file"] = (open - idle) / fileMb;
}

// The memory that a dialog takes while it is filled and after it is closed: the peak
// above the memory before the fill (the first fill, measured before the timed ones),
// and what stays once the dialog is gone. The benchmark library calls a benchmark
// more than once to choose its number of iterations, and later calls find the
// memory that the first one freed ready for reuse: the figures are those of the
// process's first call, so a run of the benchmark alone gives the figures of a
// program that opens the dialog for the first time.
struct DialogMemory {
    double idle = 0;
    double peak = 0;
    double closed = 0;

    // The first call's figures for this benchmark and size, kept for the later calls.
    DialogMemory& firstOf(const std::string& name)
    {
        static std::map<std::string, DialogMemory> first;
        return first.try_emplace(name, *this).first->second;
    }

    void report(benchmark::State& state, const char* dialog, int count)
    {
        const DialogMemory& m = firstOf(dialog + std::to_string(count));
        const double fileMb = fileMegabytes(count);
        state.counters["file_MB"] = fileMb;
        state.counters["rss_idle_MB"] = m.idle;
        state.counters["peak_above_idle_MB"] = m.peak - m.idle;
        state.counters["rss_closed_above_idle_MB"] = m.closed - m.idle;
        state.counters["peak_x_file"] = (m.peak - m.idle) / fileMb;
    }
};

void writeCrashCount(int crashes)
{
    platform::Registry registry;
    registry.setRootKey(platform::RootKey::LocalMachine);
    registry.openKey(regkeys::name(regkeys::kUsers), true);
    registry.writeInteger(regkeys::name(regkeys::vCrash), crashes);
}

// The dialog shown until its list is filled (its activation), as the user opens it.
void BM_StatisticsReady(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    writeCrashCount(3);
    MainWindow main;
    SessionProbe::programPath(main.session()) = files->folder(count);
    SessionProbe::periodSeconds(main.session()) = 36000;
    DialogMemory memory;
    double total = 0;
    {
        StatisticsDialog dialog(main.session());
        memory.idle = residentMegabytes();
        resetPeakResident();
        dialog.show();
        QApplication::processEvents();
        memory.peak = peakResidentMegabytes();
        if (dialog.rowTexts().empty())
            state.SkipWithError("the statistics list is empty");
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("userList"));
        total = timedLoop(state, [&] {
            dialog.FormActivate();
            list->viewport()->repaint();
        });
        dialog.done(1);
    }
    QApplication::processEvents();
    // Before readAll's own figure, whose copies would stay in the allocator's pool.
    memory.closed = residentMegabytes();
    memory.report(state, "statistics", count);
    besideReadAll(state, total, count);
}

// The dialog as the View menu opens it: made, shown and built, then closed and freed.
void BM_GraphsReady(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    MainWindow main;
    SessionProbe::programPath(main.session()) = files->folder(count);
    DialogMemory memory;
    double total = 0;
    memory.idle = residentMegabytes();
    {
        GraphsDialog dialog(main.session());
        resetPeakResident();
        dialog.show();
        dialog.BuildGraphs();
        QApplication::processEvents();
        memory.peak = peakResidentMegabytes();
        total = timedLoop(state, [&] {
            dialog.BuildGraphs();
            dialog.repaint();
        });
        dialog.done(1);
    }
    QApplication::processEvents();
    memory.closed = residentMegabytes();
    memory.report(state, "graphs", count);
    // What the first showing leaves (the chart library's set-up, the fonts' caches) is
    // left once; a second showing must leave nothing more.
    {
        GraphsDialog again(main.session());
        again.show();
        again.BuildGraphs();
        QApplication::processEvents();
        again.done(1);
    }
    QApplication::processEvents();
    state.counters["rss_second_close_above_first_MB"] = residentMegabytes() - memory.closed;
    besideReadAll(state, total, count);
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
    SessionProbe::programPath(main.session()) = files->folder(static_cast<int>(state.range(0)));
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

// python3's own figure for a pass over the file, without its start-up.
void runPython(benchmark::State& state, const char* script, const QStringList& arguments)
{
    const int count = static_cast<int>(state.range(0));
    const QString file = history::historyFile(files->folder(count));
    double total = 0;
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("python3"),
                     QStringList{QString::fromLatin1(DIALTALLY_BENCH_DIR "/") + QString::fromLatin1(script)} + arguments
                         + QStringList{file});
        if (!python.waitForFinished(120000) || python.exitCode() != 0) {
            state.SkipWithError("python3 did not read the file");
            return;
        }
        const double seconds = QString::fromLatin1(python.readAllStandardOutput()).split(' ').value(0).toDouble();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    besideReadAll(state, total, count);
}

void BM_PythonPlainDecode(benchmark::State& state)
{
    runPython(state, "plain_decode.py", {});
}

void BM_PythonStatistics(benchmark::State& state)
{
    runPython(state, "plain_aggregate.py", {QStringLiteral("statistics")});
}

void BM_PythonGraphs(benchmark::State& state)
{
    runPython(state, "plain_aggregate.py", {QStringLiteral("graphs")});
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(10000)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ReadAll)->Apply(sizes);
BENCHMARK(BM_PythonPlainDecode)->Apply(sizes)->Iterations(3);
BENCHMARK(BM_ConnectionsModelLoad)->Apply(sizes);
BENCHMARK(BM_ConnectionsReady)->Apply(sizes);
BENCHMARK(BM_PythonStatistics)->Apply(sizes)->Iterations(3);
BENCHMARK(BM_StatisticsReady)->Apply(sizes);
BENCHMARK(BM_PythonGraphs)->Apply(sizes)->Iterations(3);
BENCHMARK(BM_GraphsReady)->Apply(sizes);
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
