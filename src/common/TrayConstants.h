// The notification-area convention that both programs follow.
#pragma once

#include <cstdint>

namespace tray {

// The tooltip holds 63 characters and the terminating zero.
inline constexpr int kTipCapacity = 64;
inline constexpr int kTipMaxChars = kTipCapacity - 1;

// What the user did to the icon: a click of the left button, which brings the window
// back, or of the right button on an icon without a menu of its own, where the owner
// opens one. Other clicks (a double click, the middle button) reach no one.
enum class Click { Activate, ContextMenu };

}  // namespace tray
