#pragma once
// Tool button pictures drawn by the program, for commands that neither the icon theme nor the
// style provides.

#include <QFont>
#include <QIcon>
#include <QString>

namespace ostrim {

// A sans-serif font of the given pixel size for glyphIcon.
QFont glyphFont(int pixels, bool bold = true, bool italic = false, bool underline = false);
// One or a few characters centred on a 20 x 20 picture.
QIcon glyphIcon(const QString& glyph, const QFont& font);
// Two sheets (Copy), or a clipboard (Paste).
QIcon sheetsIcon(bool clipboard);
// The theme's icon of that name, else the glyph.
QIcon themeOrGlyph(const char* themeName, const QString& glyph, const QFont& font);

} // namespace ostrim
