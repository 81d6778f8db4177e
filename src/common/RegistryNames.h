// The registry contract of Dialtally and Postpeek: every key path and value name
// that either program reads or writes. Nothing else in the code spells them.
#pragma once

#include <QString>

namespace regkeys {

// A name of this table as the store takes it; every name here is plain ASCII.
inline QString name(const char* registryName)
{
    return QString::fromLatin1(registryName);
}

// Key paths are absolute from their root. A few names are met in two cases in stores
// and scripts ("Connect delay"/"Connect Delay", "Backup"/"backup"); the store folds
// case, so both spellings name one value, and one constant is enough.

// ---- HKCU -----------------------------------------------------------------
inline constexpr const char* kSoftware = "\\Software\\Dialtally";
inline constexpr const char* kEmail = "\\Software\\Dialtally\\Email";
inline constexpr const char* kEmailAccounts = "\\Software\\Dialtally\\Email\\Accounts";
inline constexpr const char* kBeep = "\\Software\\Dialtally\\Beep";
inline constexpr const char* kExec = "\\Software\\Dialtally\\Exec";
inline constexpr const char* kTariffs = "\\Software\\Dialtally\\Tariffs";
inline constexpr const char* kTariffProfile = "\\Software\\Dialtally\\Tariff Profile";
inline constexpr const char* kTimeSync = "\\Software\\Dialtally\\TimeSync";
inline constexpr const char* kBudget = "\\Software\\Dialtally\\Rozad Izeruveva";
inline constexpr const char* kRemoteAccess = "\\RemoteAccess";
inline constexpr const char* kRemoteAccessAddresses = "\\RemoteAccess\\Addresses";

// ---- HKLM -----------------------------------------------------------------
// kSoftware is also the machine-wide key.
inline constexpr const char* kCounterAll = "\\Software\\Dialtally\\Counter\\All";
inline constexpr const char* kCounterCurrent = "\\Software\\Dialtally\\Counter\\Current";
inline constexpr const char* kUsers = "\\Software\\Dialtally\\Users";
inline constexpr const char* kRemoteAccessService = "\\System\\CurrentControlSet\\Services\\RemoteAccess";
inline constexpr const char* kControl = "\\System\\CurrentControlSet\\control";
inline constexpr const char* kRun = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// ---- values of HKCU \Software\Dialtally -------------------------------------
inline constexpr const char* vConnectDelay = "Connect delay";
inline constexpr const char* vMinimize = "Minimize";
inline constexpr const char* vSystemTray = "System tray";
inline constexpr const char* vLogo = "Logo";
inline constexpr const char* vUserName = "User Name";
inline constexpr const char* vMaxd = "Maxd";
inline constexpr const char* vPozTop = "poztop";
inline constexpr const char* vPozLeft = "pozleft";
inline constexpr const char* vEditor = "Editor";

// ---- values of HKCU \Software\Dialtally\Email --------------------------------
inline constexpr const char* vOnOff = "On/Off";  // also the budget's switch
inline constexpr const char* vCheck = "Check";
inline constexpr const char* vMinutes = "Minutes";
inline constexpr const char* vEmailSystemTray = "SystemTray";
inline constexpr const char* vAutoCheck = "AutoCheck";
inline constexpr const char* vAutoRestore = "AutoRestore";
inline constexpr const char* vAutoClose = "AutoClose";
inline constexpr const char* vAutoMinimize = "AutoMinimize";
inline constexpr const char* vAutoCloseProgram = "AutoCloseProgram";

// ---- values of one account under Email\Accounts\<name> ------------------------
inline constexpr const char* vAccountUser = "User";
inline constexpr const char* vAccountPassword = "Password";
inline constexpr const char* vAccountHost = "Host";
inline constexpr const char* vAccountPort = "Port";
inline constexpr const char* vAccountChecked = "Checked";

// ---- values of HKCU \Software\Dialtally\Beep ----------------------------------
inline constexpr const char* vBeepEnabled = "Enabled";
inline constexpr const char* vBeepInterval = "Interval";
inline constexpr const char* vBeepSound = "Sound";

// ---- values of HKCU \Software\Dialtally\Exec ----------------------------------
inline constexpr const char* vLines = "Lines";
inline constexpr const char* vLinePrefix = "Line";  // "Line0", "Line1", ...

// ---- values of HKCU \Software\Dialtally\Tariffs and the tariff slots -------------
inline constexpr const char* vTariff = "Tariff";
inline constexpr const char* kHolidayDay = "Holiday";
inline constexpr const char* vSlotTariffProfile = "Tariff Profile";
inline constexpr const char* vStartingInterval = "StartingInterval";
inline constexpr const char* vEndingInterval = "EndingInterval";
inline constexpr const char* vDayCost = "DayCost";
inline constexpr const char* vNightCost = "NightCost";
inline constexpr const char* vOcpDay = "OCPDay";
inline constexpr const char* vOcpd = "OCPD";  // in a tariff profile

// ---- values of HKCU \Software\Dialtally\TimeSync --------------------------------
inline constexpr const char* vServers = "Servers";
inline constexpr const char* vServerPrefix = "Server";  // "Server0", "Server1", ...

// ---- values of HKCU \Software\Dialtally\Rozad Izeruveva -------------------------
// "On/Off" is vOnOff.
inline constexpr const char* vBudgetMoney = "Money";
inline constexpr const char* vBudgetCents = "Cents";
inline constexpr const char* vBudgetCh = "Ch";
inline constexpr const char* vBudgetReserve = "Reserve";

// ---- values of HKLM \Software\Dialtally ----------------------------------------
inline constexpr const char* vProgramPath = "Program path";
inline constexpr const char* vFirstTime = "FirstTime";
inline constexpr const char* vBug = "Bug";
inline constexpr const char* vAntiCrash = "AntiCrash";
inline constexpr const char* vStart = "Start";

// ---- values of HKLM \Software\Dialtally\Counter\All -----------------------------
inline constexpr const char* vYear = "Year";
inline constexpr const char* vMonth = "Month";
inline constexpr const char* vDay = "Day";
inline constexpr const char* vDouble = "Double";
inline constexpr const char* vReset = "Reset";
inline constexpr const char* vReset14 = "Reset14";
inline constexpr const char* vReport = "Report";

// ---- values of HKLM \Software\Dialtally\Counter\Current -------------------------
// The start of the running connection ("Year", "Day", "Month" are shared with Counter\All).
inline constexpr const char* vSecundes = "Secundes";
inline constexpr const char* vStartMinutes = "Minutes";
inline constexpr const char* vHours = "Hours";
inline constexpr const char* vDayOfWeek = "DayOfWeek";
inline constexpr const char* vProvider = "Provider";
inline constexpr const char* vMoney = "Money";
inline constexpr const char* vFee = "Fee";
inline constexpr const char* vBackup = "Backup";
// The two crash-backup slots: the plain one and the one with the prefix "b".
inline constexpr const char* kBackupSlotPrefix = "b";
inline constexpr const char* vSlotUser = "User";
inline constexpr const char* vSlotSecundes = "CSecundes";
inline constexpr const char* vSlotMinutes = "CMinutes";
inline constexpr const char* vSlotHours = "CHours";
inline constexpr const char* vSlotYear = "CYear";
inline constexpr const char* vSlotDay = "CDay";
inline constexpr const char* vSlotMonth = "CMonth";
inline constexpr const char* vSlotDayOfWeek = "CDayOfWeek";
inline constexpr const char* vSlotTime = "Time";
// Finished connections that "history.dat" could not take yet (a full disk), as whole
// 192-byte records in the order they ended; written again to the history before the
// next connection starts and at every start-up.
inline constexpr const char* vUnsavedRecords = "Unsaved";

// ---- values of HKLM \Software\Dialtally\Users ------------------------------------
inline constexpr const char* vCrash = "Crash";

// ---- Windows' own values -----------------------------------------------------------
inline constexpr const char* vRemoteConnection = "Remote Connection";  // HKLM, 4 bytes, 1 = up
inline constexpr const char* vCurrentUser = "Current User";  // HKLM kControl
inline constexpr const char* vDefault = "Default";  // HKCU kRemoteAccess
inline constexpr const char* vAutostart = "Dialtally 1.2";  // HKLM kRun

}  // namespace regkeys
