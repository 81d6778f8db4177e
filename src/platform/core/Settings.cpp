#include "platform/core/Settings.h"

namespace settings {

namespace {

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

// A key path as the store compares it: no empty components, case folded.
QString comparablePath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\')).toCaseFolded();
}

template <Type T>
Place<T> placeOf(SettingId id, Form form, const QString& key, const QString& name)
{
    const Definition& d = id.definition();
    Q_ASSERT(d.form == form);
    Q_UNUSED(form);
    Q_UNUSED(d);
    return Place<T>{id, key, name};
}

}  // namespace

template <Type T>
Place<T> Setting<T>::place() const
{
    const Definition& d = definition();
    return placeOf<T>(m_id, Form::Plain, latin(d.key), latin(d.name));
}

template <Type T>
Place<T> Setting<T>::at(int index) const
{
    const Definition& d = definition();
    return placeOf<T>(m_id, Form::Indexed, latin(d.key), latin(d.name) + QString::number(index));
}

template <Type T>
Place<T> Setting<T>::in(const QString& subkey) const
{
    const Definition& d = definition();
    return placeOf<T>(m_id, Form::InSubkey, latin(d.key) + QLatin1Char('\\') + subkey, latin(d.name));
}

template <Type T>
Place<T> Setting<T>::prefixed(const QString& prefix) const
{
    const Definition& d = definition();
    return placeOf<T>(m_id, Form::Prefixed, latin(d.key), prefix + latin(d.name));
}

template class Setting<Type::Integer>;
template class Setting<Type::String>;
template class Setting<Type::Binary>;

Notifier& notifier()
{
    static Notifier* const instance = [] {
        qRegisterMetaType<settings::SettingId>();
        return new Notifier;
    }();
    return *instance;
}

Settings::Settings() = default;

Settings::Settings(std::shared_ptr<platform::RegistryStore> store)
    : m_registry(std::move(store))
{ }

// The key of an access, open for its scope. A key that is missing with ExistingKey,
// or that cannot be made, leaves none open: the store then reads an integer as its
// error, a string, binary data and the names as empty, a type as none.
class SettingKey : public platform::KeyScope {
public:
    SettingKey(platform::Registry& registry, SettingId id, const QString& key, Opening opening)
        : KeyScope(registry, id.definition().root, key, opening == Opening::CreateKey)
    { }
};

std::int32_t Settings::get(const IntegerPlace& place, Opening opening)
{
    SettingKey key(m_registry, place.id, place.key, opening);
    return key->readInteger(place.name);
}

QString Settings::get(const TextPlace& place, Opening opening)
{
    SettingKey key(m_registry, place.id, place.key, opening);
    return key->readString(place.name);
}

QByteArray Settings::get(const BinaryPlace& place, Opening opening)
{
    SettingKey key(m_registry, place.id, place.key, opening);
    return key->readBinary(place.name);
}

std::optional<std::int32_t> Settings::find(const IntegerPlace& place, Opening opening)
{
    SettingKey key(m_registry, place.id, place.key, opening);
    if (key->valueType(place.name) != platform::ValueType::Integer)
        return std::nullopt;
    return key->readInteger(place.name);
}

platform::ValueType Settings::typeAt(SettingId id, const QString& keyPath, const QString& name, Opening opening)
{
    SettingKey key(m_registry, id, keyPath, opening);
    return key->valueType(name);
}

bool Settings::removeValue(SettingId id, const QString& keyPath, const QString& name)
{
    bool removed = false;
    {
        SettingKey key(m_registry, id, keyPath, Opening::ExistingKey);
        removed = key->deleteValue(name);
    }
    if (removed)
        changed(id);
    return removed;
}

QStringList Settings::subkeysOf(SettingId id, Opening opening)
{
    SettingKey key(m_registry, id, latin(id.definition().key), opening);
    return key->getKeyNames();
}

bool Settings::removeSubkeyOf(SettingId id, const QString& subkey)
{
    return removeKeyOf(id, latin(id.definition().key) + QLatin1Char('\\') + subkey);
}

bool Settings::removeKeyOf(SettingId id, const QString& keyPath)
{
    m_registry.closeKey();
    m_registry.setRootKey(id.definition().root);
    const bool removed = m_registry.deleteKey(keyPath);
    if (!removed)
        return false;
    changed(id);
    // With a whole key go the settings of the table that lived in it and under it.
    const RootKey root = id.definition().root;
    const QString path = comparablePath(keyPath);
    for (std::size_t row = 0; row < kTable.size(); ++row) {
        const QString key = comparablePath(latin(kTable[row].key));
        if (row != id.row && kTable[row].root == root && (key == path || key.startsWith(path + QLatin1Char('\\'))))
            changed(SettingId{row});
    }
    return true;
}

void Settings::set(const TextPlace& place, const QString& value)
{
    {
        SettingKey key(m_registry, place.id, place.key, Opening::CreateKey);
        key->writeString(place.name, value);
    }
    changed(place.id);
}

void Settings::set(const BinaryPlace& place, const QByteArray& data)
{
    {
        SettingKey key(m_registry, place.id, place.key, Opening::CreateKey);
        key->writeBinaryData(place.name, data);
    }
    changed(place.id);
}

void Settings::set(const IntegerPlace& place, std::int32_t value, Opening opening)
{
    {
        SettingKey key(m_registry, place.id, place.key, opening);
        key->writeInteger(place.name, value);
    }
    changed(place.id);
}

bool Settings::keyAt(SettingId id, const QString& keyPath, Opening opening)
{
    SettingKey key(m_registry, id, keyPath, opening);
    return key.opened();
}

std::vector<std::int32_t> Settings::getAll(std::span<const IntegerPlace> places, Opening opening)
{
    std::vector<std::int32_t> values;
    if (places.empty())
        return values;
    values.reserve(places.size());
    SettingKey key(m_registry, places.front().id, places.front().key, opening);
    for (const IntegerPlace& place : places) {
        Q_ASSERT(place.key == places.front().key && place.id.definition().root == places.front().id.definition().root);
        values.push_back(key->readInteger(place.name));
    }
    return values;
}

int Settings::valueCountOf(SettingId id)
{
    SettingKey key(m_registry, id, latin(id.definition().key), Opening::ExistingKey);
    platform::Registry::KeyInfo info;
    return key.opened() && key->getKeyInfo(info) ? info.numValues : 0;
}

void Settings::changed(SettingId id)
{
    emit notifier().changed(id);
}

std::vector<SettingId> writtenBy(FirstWriter writer)
{
    std::vector<SettingId> rows;
    for (std::size_t row = 0; row < kTable.size(); ++row) {
        if (kTable[row].writer == writer)
            rows.push_back(SettingId{row});
    }
    return rows;
}

void writeNewUserDefaults(Settings& settings, const QString& userName)
{
    for (const SettingId id : writtenBy(FirstWriter::NewUser)) {
        const Definition& d = id.definition();
        const QString key = latin(d.key);
        const QString name = latin(d.name);
        if (d.type == Type::Integer) {
            settings.set(IntegerPlace{id, key, name}, d.number);
        } else if (d.userName) {
            settings.set(TextPlace{id, key, name}, userName);
        } else if (d.form == Form::Indexed) {
            for (std::size_t i = 0; i < d.texts.size(); ++i)
                settings.set(TextPlace{id, key, name + QString::number(i)}, latin(d.texts[i]));
        } else {
            settings.set(TextPlace{id, key, name}, latin(d.text));
        }
    }
}

}  // namespace settings
