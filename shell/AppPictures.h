#pragma once
// Pictures the program draws itself (no artwork of another program ships with it).
#include <QPixmap>

// The emblem of the login window and the about box: a coin-gold disc with "贷".
QPixmap AppEmblem(int size);
