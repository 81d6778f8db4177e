// The programs' icons drawn at the size a panel asks for.
#include "platform/gui/ProgramIcons.h"

#include <QPixmap>

#include <gtest/gtest.h>

using platform::handsetPicture;
using platform::iconAtEverySize;

namespace {

QImage drawn(int size)
{
    return handsetPicture(size, QColor(0, 180, 0), false);
}

QImage asked(const QIcon& icon, int size, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(size, size), mode).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

TEST(ProgramIcons, EverySizeIsTheDrawingAtThatSizeNotAScaledOne)
{
    const QIcon icon = iconAtEverySize(drawn);
    ASSERT_FALSE(icon.isNull());
    QList<QSize> listed;
    for (int size : platform::kIconSizes)
        listed << QSize(size, size);
    EXPECT_EQ(icon.availableSizes(), listed);
    // The listed sizes, a size between them, and the same size asked again after
    // another, which must not hand back the picture drawn last.
    for (int size : {16, 22, 256, 20, 16, 48}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(asked(icon, size), drawn(size));
    }
    const QSize wide = icon.pixmap(QSize(40, 24)).size();
    EXPECT_EQ(wide, QSize(24, 24));
    EXPECT_TRUE(icon.pixmap(QSize(0, 0)).isNull());
}

TEST(ProgramIcons, TheDisabledLookIsTheStylesAndACopyIsTheSameIcon)
{
    const QIcon icon = iconAtEverySize(drawn);
    const QImage disabled = asked(icon, 22, QIcon::Disabled);
    EXPECT_EQ(disabled.size(), QSize(22, 22));
    EXPECT_NE(disabled, drawn(22));
    EXPECT_EQ(disabled, asked(QIcon(QPixmap::fromImage(drawn(22))), 22, QIcon::Disabled));
    // The tray passes a picture on only when its cache key changes.
    const QIcon copy = icon;
    EXPECT_EQ(copy.cacheKey(), icon.cacheKey());
    EXPECT_EQ(asked(copy, 32), drawn(32));
}
