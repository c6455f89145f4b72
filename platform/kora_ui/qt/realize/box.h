// Box layouts that remember their heights for the last few widths. Qt asks a box's minimum height for a
// width by walking its whole subtree every time (nothing caches it), so one changed label in a long page
// measured every label of the page again; with these a layout pass measures only the boxes on the way
// from what changed to the top.
#pragma once

#include <QBoxLayout>
#include <array>

namespace kora_ui::qt {

template <class Box>
class HeightCachingBox final : public Box {
  public:
    using Box::Box;

    // Qt's own minimum asks for the height through the virtual call: that one is answered directly.
    int heightForWidth(int width) const override {
        return m_measuring ? Box::heightForWidth(width) : remembered(width, &Entry::height);
    }
    int minimumHeightForWidth(int width) const override { return remembered(width, &Entry::minimum); }
    void invalidate() override {
        m_used = 0;
        Box::invalidate();
    }

  private:
    struct Entry {
        int width = 0;
        int height = 0;
        int minimum = 0;
    };
    int remembered(int width, int Entry::*field) const {
        for (std::size_t i = 0; i < m_used; ++i) {
            if (m_entries[i].width == width) {
                return m_entries[i].*field;
            }
        }
        m_measuring = true;
        Entry entry{width, Box::heightForWidth(width), Box::minimumHeightForWidth(width)};
        m_measuring = false;
        m_entries[m_next] = entry;
        m_next = (m_next + 1) % m_entries.size();
        m_used = std::min(m_used + 1, m_entries.size());
        return entry.*field;
    }
    mutable std::array<Entry, 4> m_entries{};
    mutable std::size_t m_used = 0;
    mutable std::size_t m_next = 0;
    mutable bool m_measuring = false;
};

using ColumnBox = HeightCachingBox<QVBoxLayout>;
using RowBox = HeightCachingBox<QHBoxLayout>;

}  // namespace kora_ui::qt
