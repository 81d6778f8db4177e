// The notification-area convention that both programs follow.
#pragma once

#include <cstdint>

namespace tray {

inline constexpr std::uint32_t WM_APP = 0x8000;
// Callback message of the one tray icon of each program.
inline constexpr std::uint32_t WM_TRAYNOTIFY = WM_APP + 100;  // 0x8064
inline constexpr std::uint32_t kIconId = 1;
// The tooltip holds 63 characters and the terminating zero.
inline constexpr int kTipCapacity = 64;
inline constexpr int kTipMaxChars = kTipCapacity - 1;

// The mouse messages that reach the callback in its LParam.
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;

struct TrayMessage {
    std::uint32_t Msg = WM_TRAYNOTIFY;
    std::uintptr_t WParam = kIconId;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

}  // namespace tray
