// The help document of the source tree, read the way a reader of one of its pages sees it.
#pragma once

#include <QString>

namespace testing_support {

// DIALTALLY_SOURCE_DIR/doc/Dialtally Help.html
QString helpDocumentPath();

// The heading of the section a context or topic leads to ("context-13" -> "Connections"),
// tags and surrounding blanks removed; empty when the document has no such section.
QString helpSectionHeading(const QString& topic);

// The first heading of an HTML page: what a reader sees at the top of it.
QString firstHeadingOf(const QByteArray& html);

}  // namespace testing_support
