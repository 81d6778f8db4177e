#include "platform/core/HelpPaths.h"

namespace platform {

namespace {

QString baseNameOf(const QString& helpFile)
{
    const qsizetype slash = helpFile.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = helpFile.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? helpFile.left(dot) : helpFile;
}

}  // namespace

QString helpDocumentFor(const QString& helpFile)
{
    if (helpFile.isEmpty())
        return {};
    return baseNameOf(helpFile) + QStringLiteral(".html");
}

QString helpContextTopic(int contextNumber)
{
    return QStringLiteral("context-%1").arg(contextNumber);
}

QString helpTopicPageFor(const QString& helpFile, const QString& topicName)
{
    if (helpFile.isEmpty() || topicName.isEmpty())
        return {};
    return baseNameOf(helpFile) + QLatin1Char('/') + topicName + QStringLiteral(".html");
}

}  // namespace platform
