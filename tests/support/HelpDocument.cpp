#include "support/HelpDocument.h"

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
    // The element that carries the anchor: a heading itself, or a section whose heading
    // comes first in it.
    const QRegularExpression anchor(
        QStringLiteral("<(\\w+)[^>]*\\sid=\"%1\"[^>]*>").arg(QRegularExpression::escape(topic)));
    const QRegularExpressionMatch element = anchor.match(html);
    if (!element.hasMatch())
        return {};
    static const QRegularExpression heading(QStringLiteral("<h[1-6][^>]*>(.*?)</h[1-6]>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const bool isHeading = QRegularExpression(QStringLiteral("^h[1-6]$")).match(element.captured(1)).hasMatch();
    return plainText(heading.match(html, isHeading ? element.capturedStart() : element.capturedEnd()).captured(1));
}

QString firstHeadingOf(const QByteArray& html)
{
    static const QRegularExpression heading(QStringLiteral("<h[1-6][^>]*>(.*?)</h[1-6]>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return plainText(heading.match(QString::fromUtf8(html)).captured(1));
}

}  // namespace testing_support
