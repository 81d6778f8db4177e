#include "dialtally/core/SessionContext.h"

void TickReads::begin(const platform::Registry& registry)
{
    m_registry = &registry;
    const std::optional<platform::StoreGeneration> generation = registry.generation();
    if (generation && generation == m_generation)
        return;
    // Read under this generation from here on; with none, read every time.
    lineUp.reset();
    periodStart.reset();
    budget.reset();
    m_generation = generation;
}

bool TickReads::current() const
{
    // A write of this tick (a connection's start, a charge) may change what was read.
    return m_registry && m_generation && m_registry->writesSoFar() == m_generation->ownChanges;
}
