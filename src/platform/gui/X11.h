// The few words the programs say to an X11 display themselves, where Qt has no call
// for them. Each does nothing (or answers no) on any other platform.
#pragma once

#include <cstdint>

struct xcb_connection_t;

namespace platform::x11 {

// The application's connection to the X server; nullptr when it runs elsewhere.
xcb_connection_t* connection();
std::uint32_t atom(xcb_connection_t* connection, const char* name);
std::uint32_t rootWindow(xcb_connection_t* connection);

// Whether a notification area that embeds icons (an XEmbed system tray) is running.
bool embeddingTrayPresent();

}  // namespace platform::x11
