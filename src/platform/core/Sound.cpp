#include "platform/core/Sound.h"

#include <QFileInfo>

#include <canberra.h>
#include <dlfcn.h>

namespace platform {

namespace {

// libcanberra, loaded at the first sound: most sessions in the tray never beep, and
// the library brings its sound file decoders and databases with it.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;

    static const Canberra* load()
    {
        static const Canberra loaded = [] {
            Canberra c;
            void* library = dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
            if (!library)
                return c;
            c.create = reinterpret_cast<decltype(create)>(dlsym(library, "ca_context_create"));
            c.destroy = reinterpret_cast<decltype(destroy)>(dlsym(library, "ca_context_destroy"));
            c.changeProps = reinterpret_cast<decltype(changeProps)>(dlsym(library, "ca_context_change_props"));
            c.play = reinterpret_cast<decltype(play)>(dlsym(library, "ca_context_play"));
            if (!c.create || !c.destroy || !c.changeProps || !c.play)
                c = Canberra{};
            return c;
        }();
        return loaded.create ? &loaded : nullptr;
    }
};

// Desktop event sounds through libcanberra. Without the library or a sound server
// every call fails quietly: a beep is a hint, never a reason to stop the program.
class CanberraSounds : public Sounds {
public:
    ~CanberraSounds() override
    {
        if (m_context)
            m_library->destroy(m_context);
    }

    void messageBeep(BeepKind kind) override
    {
        if (!context())
            return;
        m_library->play(m_context, 0, CA_PROP_EVENT_ID, eventId(kind), nullptr);
    }

    bool playWave(const QString& file) override
    {
        if (!QFileInfo(file).isFile() || !context())
            return false;
        const QByteArray path = QFileInfo(file).absoluteFilePath().toLocal8Bit();
        return m_library->play(m_context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr) == CA_SUCCESS;
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
            m_library = Canberra::load();
            if (!m_library || m_library->create(&m_context) != CA_SUCCESS) {
                m_context = nullptr;
                m_failed = true;
            } else {
                m_library->changeProps(m_context, CA_PROP_APPLICATION_NAME, "Dialtally", nullptr);
            }
        }
        return m_context;
    }

    const Canberra* m_library = nullptr;
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
