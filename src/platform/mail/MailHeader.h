// Header fields of mail as a mail program shows them: unfolded (RFC 5322) and with
// their encoded words (RFC 2047) decoded, through GMime, so every charset the
// system's iconv knows reads right.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform::mailheader {

// The value of one header field as the server sent it, the text after the colon with
// its continuation lines joined by CR LF. Unfolded and decoded; raw 8-bit text reads
// as UTF-8 where it is valid and as Latin-1 where not. The blanks before the value stay
// as written, and control characters (a decoded line break, a tab) show as blanks, as
// the value is shown on one line.
QString displayText(const QByteArray& field);

}  // namespace platform::mailheader
