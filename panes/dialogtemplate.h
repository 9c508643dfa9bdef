#pragma once

#include <QFont>
#include <QSize>

// Dialog templates are laid out in dialog units, which scale with the
// template's font: a quarter of its average character width across, an
// eighth of its height down.
namespace dialogtemplate {

// The family the panes' templates name, when it is installed.
inline constexpr char16_t kTemplateFamily[] = u"굴림";
// The installed Korean family of the same weight used in its place.
inline constexpr char16_t kFallbackFamily[] = u"NanumGothic";
inline constexpr int kTemplatePointSize = 9;

// 굴림 9 pt where it is installed, else the fallback family at 9 pt.
QFont templateFont();

// Pixels of `units` dialog units laid out in `font`, rounded as the
// window system rounds them.
QSize unitsToPixels(QSize units, const QFont &font);

} // namespace dialogtemplate
