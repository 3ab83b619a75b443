#include "Render/DirtyRegion.h"

namespace Toolkit {

void DirtyRegion::add(PixelRect added) {
    added = added.intersection(m_bounds);
    if (added.isEmpty())
        return;
    // Merging can make the new area cover or touch others, so keep folding until nothing changes.
    bool changed = true;
    while (changed) {
        changed = false;
        for (std::size_t i = 0; i < m_count; ++i) {
            if (contains(m_areas[i], added))
                return;
            if (contains(added, m_areas[i])) {
                removeAt(i);
                changed = true;
                break;
            }
            const PixelRect joined = unite(m_areas[i], added);
            if (area(joined) <= area(m_areas[i]) + area(added)) {
                added = joined;
                removeAt(i);
                changed = true;
                break;
            }
        }
    }
    if (m_count == kCapacity) {
        m_count = 0;
        m_areas[m_count++] = m_bounds;
        return;
    }
    m_areas[m_count++] = added;
}

} // namespace Toolkit
