#include "reports/SortState.h"

namespace veltrano {

bool SortState::headerClicked(int column)
{
    m_sortColumn = column;
    if (m_lastSortColumn == m_sortColumn)
        m_sortAscending = !m_sortAscending;
    m_lastSortColumn = m_sortColumn;
    return m_sortAscending;
}

} // namespace veltrano
