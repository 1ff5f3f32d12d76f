#pragma once

class QWidget;

// The dynamic property that carries a widget's font character set (a language file's
// nCharset). Qt fonts have no character set; the number is kept for whoever needs it.
inline constexpr char FontCharsetProperty[] = "FontCharset";

// Applies the current language to one window: points its "lngLanguage" component (if any) at
// the language file, sets the character set on the window and on every check box, push
// button, label, list box, panel and radio button it owns, translates, calls the window's
// LanguageUpdated(QObject*) if it has one, and repaints its children. A text that is not an
// integer for an integer property ends the translation with a message box saying so; the
// window's LanguageUpdated and repaint are then skipped. UI thread only.
void ApplyLanguage(QWidget* window);
