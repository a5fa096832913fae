#pragma once
#include <QColor>

#include <cstdint>

// A Windows colour value 0xBBGGRR: blue in the high byte, red in the low one.
inline QColor ColorFromWin(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// System colours of the classic Windows scheme the pages were designed in.
inline const QColor kClassicBtnFace(212, 208, 200);
inline const QColor kClassicBtnShadow(128, 128, 128);
