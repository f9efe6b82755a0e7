// Numbers as decimal text in settings files, independent of the process locale: files
// written on any system read the same way.
#pragma once

#include "platform/core/MessageBox.h"

#include <cstdint>
#include <limits>
#include <string>

// Leading blanks, an optional sign, then decimal digits up to the first other character; no
// digits gives 0. Values beyond 64 bits saturate instead of overflowing.
std::int64_t ParseDecimalInteger(const char* text);

// Decimal floating-point text after leading blanks (an optional sign, digits, a point, an
// exponent); no number gives 0. Text that reads as infinite or not a number, or overflows,
// gives fallback, so that a damaged file cannot feed NaN into the settings.
double ParseDecimalFloat(const char* text, double fallback);

// A parsed value for a single-precision field: fallback when it lies beyond the float range
// (or is not a number), where a plain conversion would be undefined.
float NarrowToFloat(double value, float fallback);

// printf's "%f", "%e" and "%.9f" in the C locale.
std::string FormatFixed(double value, int decimals = 6);
std::string FormatExponent(double value);

// A number typed into a text box: the whole text, blanks around it allowed, is one finite
// decimal number ("12", "-0.5", "1e3"); "", "abc", "12abc" and "1,5" are not, where reading it
// like atof would quietly give a different number.
bool ParseTypedNumber(const std::string& text, double& value);

// A number field of a dialog: its name as messages name it, the values it takes (both ends
// allowed) and whether it takes whole numbers only.
struct NumberField {
    const char* Name;
    double Min = -std::numeric_limits<double>::max();
    double Max = std::numeric_limits<double>::max();
    bool Integer = false;
};

// Empty when text is a number that fits field (value then holds it), else the message that
// says what is wrong, naming the field.
std::string CheckTypedNumber(const std::string& text, const NumberField& field, double& value);

// Reads the number in control id of a dialog. Text that is no number, or out of the field's
// range, is reported (stop icon) with the focus put back on the control, and false returned:
// the dialog then stays open and stores nothing.
template <class Dialog>
bool ReadNumberField(Dialog& dialog, int id, const NumberField& field, double& value)
{
    std::string text;
    dialog.GetDlgItemText(id, text);
    const std::string message = CheckTypedNumber(text, field, value);
    if (message.empty())
        return true;
    AfxMessageBox(message, MB_OK | MB_ICONSTOP);
    if (auto* control = dialog.GetDlgItem(id))
        dialog.GotoDlgCtrl(control);
    return false;
}
