#pragma once
// The 16 x 16 pictures of the tool buttons, drawn rather than shipped.

#include <QIcon>

enum class Glyph { Open, Save, Stop, Free, Track, Move, GoTo, Left, Right };

QIcon glyphIcon(Glyph glyph);
