#include "platform/gui/CellText.h"

#include <QAbstractItemView>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace platform {

int cellTextPadding(const QAbstractItemView& view)
{
    // Measured on a sample cell, the way the style lays a cell out when it draws it;
    // the text is then kept clear of the rectangle's edges by the focus frame margin.
    // The sample text is wider than the cell: the style gives a narrower text only the
    // room it takes, a wider one all the room there is.
    constexpr int sampleWidth = 200;
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = QRect(0, 0, sampleWidth, 20);
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = QString(sampleWidth, QLatin1Char('W'));
    QStyle* style = view.style();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return sampleWidth - text.width() + 2 * margin;
}

}  // namespace platform
