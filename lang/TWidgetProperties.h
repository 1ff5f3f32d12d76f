#pragma once

// Adds the widget and action properties the language files name to TPropertyRegistry:
// "Caption" (window title; a tab page's tab text; text of buttons, check boxes, labels, menu
// items; title of group boxes and menus), "Hint" (tool tip; a menu item's status tip), "Text"
// (edit boxes, combo boxes, memos), "Left", "Top", "Width", "Height" (geometry, in pixels),
// "Items" / "Lines" (combo boxes, list boxes, memos) and "Columns" (a table's column headings,
// a list). Safe to call more than once.
void RegisterWidgetProperties();

// A label with this dynamic property true takes the size of each caption written to it.
inline constexpr char AutoSizeProperty[] = "AutoSize";
