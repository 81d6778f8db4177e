// The order a list is sorted in by clicks on its column headers: the key of the column
// clicked last and the direction. A click on the same column reverses the order, a
// click on another one sorts it ascending.
#pragma once

#include <Qt>

struct ColumnSort {
    int key = 0;
    // Descending before any click, so that the first click on the column of key 0
    // reverses it to ascending, as a click on any other column starts.
    Qt::SortOrder order = Qt::DescendingOrder;

    void click(int clickedKey)
    {
        order = clickedKey == key && order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        key = clickedKey;
    }
    bool ascending() const { return order == Qt::AscendingOrder; }
};
