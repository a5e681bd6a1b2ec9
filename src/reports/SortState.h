#pragma once

namespace veltrano {

// The one sort state all five report tables share. A second click on the
// same column inverts the direction; a click on another column sorts in
// the current direction. Because it is shared, clicking column 2 of one
// table after column 2 of another inverts too.
class SortState final {
public:
    int sortColumn() const { return m_sortColumn; }
    int lastSortColumn() const { return m_lastSortColumn; }
    bool sortAscending() const { return m_sortAscending; }

    // Records a click on a column header and returns the direction to sort
    // in (true: ascending).
    bool headerClicked(int column);

private:
    int m_sortColumn = 0;
    int m_lastSortColumn = -1;
    bool m_sortAscending = true;
};

} // namespace veltrano
