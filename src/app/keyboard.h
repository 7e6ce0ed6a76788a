#pragma once
// The window's keyboard access: menu mnemonics (Alt+F "File", Alt+G "Grid", ...),
// given as '&' markers that leave each caption's visible text as it is, and the
// shortcuts of "GO !", "Close grid", "Exit" and the map buttons.

#include <QString>

namespace quadrel {

class TForm1;

void SetUpKeyboard(TForm1& Form);

// A caption without its mnemonic markers ("&&" stays a literal '&'), as it shows.
QString VisibleCaption(const QString& Caption);

} // namespace quadrel
