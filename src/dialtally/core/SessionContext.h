// What the parts of a monitoring session share: the store's access object, what a tick
// has read from the store, and the program's folder, where the history and the reports
// live.
#pragma once

#include "dialtally/core/Budget.h"
#include "dialtally/core/CounterPeriod.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"

#include <QString>

#include <optional>

// What a tick reads from the store, kept while no one writes it: an idle tick then
// asks SQLite for the store's generation alone instead of some twenty values. The
// values stay for as long as the generation does, that is until this process or
// another connection (the other program, the registry tool of the dial-up hooks)
// writes the store; a tick's own write ends their use at once, within that tick.
class TickReads {
public:
    // At the start of a tick: forgets what the store no longer holds for certain.
    void begin(const platform::Registry& registry);
    void end() { m_registry = nullptr; }
    // The value of `slot`, read by `read` when it holds none or can't be trusted.
    template <class T, class Read>
    T get(std::optional<T>& slot, Read read)
    {
        if (!current())
            return read();
        if (!slot)
            slot = read();
        return *slot;
    }

    std::optional<bool> lineUp;
    std::optional<period::PeriodStart> periodStart;
    std::optional<budget::Budget> budget;

private:
    bool current() const;
    const platform::Registry* m_registry = nullptr;
    std::optional<platform::StoreGeneration> m_generation;
};

struct SessionContext {
    // The session's one access object, typed by the table of settings; `registry` is
    // the same object, for the system's own values that the platform layer reads.
    settings::Settings settings;
    platform::Registry& registry = settings.registry();
    TickReads reads;
    // Read from the store at start-up, and by a tick that finds it empty.
    QString programPath;
};
