#pragma once
// The bilingual message table and the four kinds of message box.

#include "app/Prompts.h"
#include <QString>

namespace velda {

// Language flag: start-up sets English; every table picks its text by this
// flag at the moment of use.
bool English();
void Set_Language(bool english = true);

// Font names that go with the language.
QString FormFontName();
QString SymbolFontName();

constexpr int MessageCount = 251; // numbers 0..250

// Builds the table once; later calls do nothing. GetMessage builds it on demand.
void Init_Message();

// The message text of the current language followed by one carriage return.
// A number outside 0..250 or without a text gives only the carriage return.
QString GetMessage(int n);
// Text of one language without the carriage return (for tests and tables).
QString MessageText(int n, bool english);

// A model's waveform script without a bit mask cannot scale the data (a
// text of our own, outside the numbered table).
QString NoBitMaskText();

// "Error Message", OK, no icon.
void ShowError(int n);
void ShowErrorText(const QString& text);
// "Warning Message", Yes/No, stop icon.
Answer ShowWarning(const QString& text);
// "Caution Message", Yes/No, question icon.
Answer AskCaution(int n);
// "Caution Message", OK, stop icon (the bus-busy and shutdown boxes).
void ShowCautionStop(const QString& text);
// A stop-icon OK box with a title of the caller's (fatal start-up boxes).
void ShowStop(const QString& title, const QString& text);

} // namespace velda
