#pragma once
// The big word of the training dialogs: bold "Arial" (the metric-compatible Liberation face),
// as large as fits the edit, from 28 points down.
class QString;
class QWidget;

constexpr const char* kWordFontFace = "Arial Bold";

// Gives `edit` the word font at the largest size from `fromTenths` down in 1 pt steps (never
// below 10 pt) at which `text` fits the edit's width less 25 pixels; returns the size chosen,
// in tenths of a point.
int FitWordFont(QWidget* edit, const QString& text, int fromTenths = 280);
