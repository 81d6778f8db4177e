#include "Sound.h"

#include <QFileInfo>

#include <canberra.h>

namespace platform {

namespace {

// Desktop event sounds through libcanberra. Without a sound server every call
// fails quietly: a beep is a hint, never a reason to stop the program.
class CanberraSounds : public Sounds {
public:
    ~CanberraSounds() override
    {
        if (m_context)
            ca_context_destroy(m_context);
    }

    void messageBeep(BeepKind kind) override
    {
        if (!context())
            return;
        ca_context_play(m_context, 0, CA_PROP_EVENT_ID, eventId(kind), nullptr);
    }

    bool playWave(const QString& file) override
    {
        if (!QFileInfo(file).isFile() || !context())
            return false;
        const QByteArray path = QFileInfo(file).absoluteFilePath().toLocal8Bit();
        return ca_context_play(m_context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr) == CA_SUCCESS;
    }

private:
    static const char* eventId(BeepKind kind)
    {
        switch (kind) {
        case BeepKind::Asterisk:
            return "dialog-information";
        case BeepKind::Exclamation:
            return "dialog-warning";
        case BeepKind::Hand:
            return "dialog-error";
        case BeepKind::Default:
            break;
        }
        return "bell";
    }

    ca_context* context()
    {
        if (!m_context && !m_failed) {
            if (ca_context_create(&m_context) != CA_SUCCESS) {
                m_context = nullptr;
                m_failed = true;
            } else {
                ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Dialtally", nullptr);
            }
        }
        return m_context;
    }

    ca_context* m_context = nullptr;
    bool m_failed = false;
};

Sounds* g_sounds = nullptr;

}  // namespace

Sounds& sounds()
{
    static CanberraSounds real;
    return g_sounds ? *g_sounds : real;
}

void setSounds(Sounds* s)
{
    g_sounds = s;
}

}  // namespace platform
