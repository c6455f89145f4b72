// The icons behind the toolkit's icon codes: one set of monochrome (symbolic) glyphs, taken from the
// desktop's icon theme when it has the names, else from the set built into the host, drawn at any
// size and device pixel ratio in one tint. Also the application's own icon for its windows.
#pragma once

#include <QColor>
#include <QIcon>
#include <QWidget>
#include <string>

#include "kora_ui/icons.h"

namespace kora_ui::qt {

enum class IconOrigin { desktop_theme, built_in, none };

// Where the glyph of `code` comes from now (none: a code the toolkit does not know).
[[nodiscard]] IconOrigin icon_origin(Icon code);
// The glyph of `code` in `tint` (disabled: the palette's disabled text colour). Null for unknown codes.
[[nodiscard]] QIcon symbolic_icon(Icon code, QColor tint);
// The glyph of `code` in the theme's text colour (cached).
[[nodiscard]] const QIcon& icon_for_code(Icon code);
// The application's icon: its built-in SVG (":/kora/app-icons/ID.svg") at every size, else the
// desktop theme's icon of that name.
[[nodiscard]] QIcon application_icon(const std::string& application_id);

// An IconWidget: a rounded tile `box` units wide with the glyph centred in it; `scale` is how much
// larger the tile is than the glyph.
class IconTile final : public QWidget {
  public:
    IconTile(QIcon icon, int box, float scale, QWidget* parent = nullptr);
    [[nodiscard]] int glyph_size() const { return m_glyph; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QIcon m_icon;
    int m_glyph;
};

}  // namespace kora_ui::qt
