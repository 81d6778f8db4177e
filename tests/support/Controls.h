// A window keeps its controls to itself; a test reaches one by its object name. A
// control that is missing, or is not of the asked type, ends the test with its name
// instead of a crash on a null pointer further down.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <stdexcept>
#include <string>

namespace testing_support {

template <class T>
T* control(const QObject& root, const QString& name)
{
    if (T* found = root.findChild<T*>(name))
        return found;
    const QString owner =
        root.objectName().isEmpty() ? QString::fromLatin1(root.metaObject()->className()) : root.objectName();
    const QString type = QString::fromLatin1(T::staticMetaObject.className());
    const QString problem = root.findChild<QObject*>(name) ? QStringLiteral("\"%1\" in %2 is not a %3")
                                                           : QStringLiteral("%2 has no %3 named \"%1\"");
    throw std::runtime_error(problem.arg(name, owner, type).toStdString());
}

template <class T>
T* control(const QObject* root, const QString& name)
{
    return control<T>(*root, name);
}

template <class T>
T* control(const QObject& root, const char* name)
{
    return control<T>(root, QString::fromLatin1(name));
}

template <class T>
T* control(const QObject* root, const char* name)
{
    return control<T>(*root, QString::fromLatin1(name));
}

template <class T, class W>
T* control(const std::unique_ptr<W>& root, const char* name)
{
    return control<T>(*root, QString::fromLatin1(name));
}

}  // namespace testing_support
