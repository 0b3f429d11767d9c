#pragma once
// The digital-bit view drawn for the print-out: the same traces as the main
// window's digital view, in the painter's pen colour on a white page, without
// the bit selection or the marker tint of the screen.

#include "engine/wavelb32.h"

#include <cstdint>

class QPainter;

// Points [first, first + count) of a buffer as 16 bit traces on a width x
// height surface; bits beyond the upper `bitCount` are dimmed.
void W_DrawDigital(QPainter* surface, WaveHandle h, double first, double count, int32_t bitCount,
                   int32_t width, int32_t height);
