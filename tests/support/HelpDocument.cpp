#include "HelpDocument.h"

#include <QFile>
#include <QRegularExpression>

namespace testing_support {

namespace {

QString plainText(QString html)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    html.remove(tag);
    html.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    html.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    html.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    return html.simplified();
}

}  // namespace

QString helpDocumentPath()
{
    return QStringLiteral(DIALTALLY_SOURCE_DIR "/doc/Dialtally Help.html");
}

QString helpSectionHeading(const QString& topic)
{
    QFile file(helpDocumentPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(file.readAll());
    const QRegularExpression section(
        QStringLiteral("<section id=\"%1\"[^>]*>\\s*<h2[^>]*>(.*?)</h2>").arg(QRegularExpression::escape(topic)),
        QRegularExpression::DotMatchesEverythingOption);
    return plainText(section.match(html).captured(1));
}

QString firstHeadingOf(const QByteArray& html)
{
    static const QRegularExpression heading(QStringLiteral("<h[1-6][^>]*>(.*?)</h[1-6]>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return plainText(heading.match(QString::fromUtf8(html)).captured(1));
}

}  // namespace testing_support
