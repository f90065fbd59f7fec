#pragma once
// Tool buttons, and their pictures drawn by the program for commands that neither the icon
// theme nor the style provides.

#include <QFont>
#include <QIcon>
#include <QString>

class QToolBar;
class QToolButton;

namespace ostrim {

// A sans-serif font of the given pixel size for glyphIcon.
QFont glyphFont(int pixels, bool bold = true, bool italic = false, bool underline = false);
// One or a few characters centred on a 20 x 20 picture.
QIcon glyphIcon(const QString& glyph, const QFont& font);
// Two sheets (Copy), or a clipboard (Paste).
QIcon sheetsIcon(bool clipboard);
// The theme's icon of that name, else the glyph.
QIcon themeOrGlyph(const char* themeName, const QString& glyph, const QFont& font);

// A button named name at the end of bar, its hint as tool tip.
QToolButton* addToolButton(QToolBar* bar, const char* name, const QString& hint, const QIcon& icon);

} // namespace ostrim
