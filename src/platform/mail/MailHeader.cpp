// Before any Qt header: GLib's headers use "signals" as a name, which Qt defines away.
#include <gmime/gmime.h>

#include "platform/mail/MailHeader.h"

#include <memory>

namespace platform::mailheader {

namespace {

struct GFree {
    void operator()(char* text) const { g_free(text); }
};
using GText = std::unique_ptr<char, GFree>;

// GMime is set up once for the program; it is never shut down, as the program may
// decode until its last moment.
GMimeParserOptions* parserOptions()
{
    static GMimeParserOptions* const options = [] {
        g_mime_init();
        GMimeParserOptions* made = g_mime_parser_options_new();
        // Old 8-bit mail carries Latin-1 without saying so; an encoded word in a
        // charset that iconv does not know is read the same way.
        const char* fallback[] = {"UTF-8", "ISO-8859-1", nullptr};
        g_mime_parser_options_set_fallback_charsets(made, fallback);
        // Mail programs read the encoded words that senders get slightly wrong.
        g_mime_parser_options_set_rfc2047_compliance_mode(made, GMIME_RFC_COMPLIANCE_LOOSE);
        return made;
    }();
    return options;
}

}  // namespace

QString displayText(const QByteArray& field)
{
    qsizetype start = 0;
    while (start < field.size() && (field.at(start) == ' ' || field.at(start) == '\t'))
        ++start;
    QString text = QString::fromLatin1(field.left(start));
    // GMime works on C strings: a NUL in the value would end it early.
    QByteArray value = field.mid(start);
    value.replace('\0', ' ');
    const GText unfolded(g_mime_utils_header_unfold(value.constData()));
    const GText decoded(g_mime_utils_header_decode_text(parserOptions(), unfolded.get()));
    // GMime hands back UTF-8; the fallback charsets make any byte valid there.
    text += QString::fromUtf8(decoded ? decoded.get() : unfolded.get());
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

}  // namespace platform::mailheader
