// Contrast between colours as WCAG 2.1 measures it (relative luminance of
// sRGB, ratio 1 to 21), and a colour moved just far enough from a
// background to reach a ratio: how the level meter keeps its green, amber
// and red visible on light and dark desktop palettes alike.
#pragma once

#include <QColor>

// 0 for black to 1 for white.
double RelativeLuminance(const QColor& colour);
// (lighter + 0.05) / (darker + 0.05).
double ContrastRatio(const QColor& a, const QColor& b);
// colour made lighter on a dark background, darker on a light one, until it
// reaches ratio against background (or white or black does); hue and
// saturation kept.
QColor WithContrast(const QColor& colour, const QColor& background, double ratio);
