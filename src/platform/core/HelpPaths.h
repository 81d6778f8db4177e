// Where the help of a help file lives: its HTML document and the topic pages beside it.
// Plain names, so that the installation can lay the pages out without a display.
#pragma once

#include <QString>

namespace platform {

// "/opt/x/Dialtally Help.hlp" -> "/opt/x/Dialtally Help.html"
QString helpDocumentFor(const QString& helpFile);

// The anchor of a context number in the document, and the name of its topic page.
QString helpContextTopic(int contextNumber);  // 13 -> "context-13"

// "/opt/x/Dialtally Help.hlp", "context-13" -> "/opt/x/Dialtally Help/context-13.html"
QString helpTopicPageFor(const QString& helpFile, const QString& topicName);

}  // namespace platform
