#include "dialtally/core/Defaults.h"

#include "dialtally/core/Budget.h"
#include "dialtally/core/ProgramInfo.h"
#include "common/RegistryNames.h"

namespace defaults {

namespace rk = regkeys;
using platform::RootKey;

namespace {

constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;

constexpr Integer kInstallation[] = {
    {HKLM, rk::kSoftware, rk::vFirstTime, 1}, {HKLM, rk::kSoftware, rk::vBug, 0},
    {HKLM, rk::kSoftware, rk::vAntiCrash, 1}, {HKLM, rk::kSoftware, rk::vStart, 0},
    {HKLM, rk::kCounterAll, rk::vReset, 2},   {HKLM, rk::kCounterAll, rk::vReset14, 14},
    {HKLM, rk::kCounterAll, rk::vReport, 1},  {HKLM, rk::kCounterCurrent, rk::vBackup, 0},
    {HKLM, rk::kUsers, rk::vCrash, 0},
};

constexpr Integer kNewUser[] = {
    {HKCU, rk::kSoftware, rk::vConnectDelay, 15},
    {HKCU, rk::kSoftware, rk::vMinimize, 1},
    {HKCU, rk::kSoftware, rk::vSystemTray, 1},
    {HKCU, rk::kSoftware, rk::vLogo, 1},
    {HKCU, rk::kSoftware, rk::vUserName, 0, true},
    {HKCU, rk::kSoftware, rk::vMaxd, 1},
    {HKCU, rk::kSoftware, rk::vPozTop, 138},
    {HKCU, rk::kSoftware, rk::vPozLeft, 188},
    {HKCU, rk::kEmail, rk::vOnOff, 0},
    {HKCU, rk::kEmail, rk::vMinutes, 5},
    {HKCU, rk::kEmail, rk::vEmailSystemTray, 1},
    {HKCU, rk::kEmail, rk::vAutoCheck, 1},
    {HKCU, rk::kEmail, rk::vAutoRestore, 0},
    {HKCU, rk::kEmail, rk::vAutoClose, 0},
    {HKCU, rk::kEmail, rk::vAutoMinimize, 1},
    {HKCU, rk::kEmail, rk::vAutoCloseProgram, 1},
    {HKCU, rk::kBeep, rk::vBeepEnabled, 1},
    {HKCU, rk::kBeep, rk::vBeepInterval, 15},
    {HKCU, rk::kBeep, rk::vBeepSound, 3},
    {HKCU, rk::kExec, rk::vLines, 0},
    {HKCU, rk::kTariffs, rk::vTariff, 1},
    // The servers themselves follow the table.
    {HKCU, rk::kTimeSync, rk::vServers, static_cast<std::int32_t>(program::kDefaultTimeServers.size())},
    {HKCU, rk::kBudget, rk::vOnOff, 0},
    {HKCU, rk::kBudget, rk::vBudgetMoney, 0},
    {HKCU, rk::kBudget, rk::vBudgetCents, 0},
    {HKCU, rk::kBudget, rk::vBudgetCh, static_cast<std::int32_t>(budget::AlarmKind::SoundFile)},
    {HKCU, rk::kBudget, rk::vBudgetReserve, 1},
};

}  // namespace

std::span<const Integer> installation()
{
    return kInstallation;
}

std::span<const Integer> newUser()
{
    return kNewUser;
}

}  // namespace defaults
