// How much of a list cell its text may take: the style keeps a margin on each side of
// it (and a style sheet may add a border), so a column that is to show a text whole
// must be that much wider than the text.
#pragma once

class QAbstractItemView;

namespace platform {

// The pixels a plain text cell of `view` (no icon, no check box) keeps beside its text.
int cellTextPadding(const QAbstractItemView& view);

}  // namespace platform
