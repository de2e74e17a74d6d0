// The printed form of a double in the "%g" style (general format, six
// significant digits), independent of the process's C locale: a script that
// switches to a locale with a decimal comma still gets "0.5", as the
// interpreter's own floats print, and its output files still parse.
//
// Plain C++ with no interpreter dependency.
#pragma once

#include <charconv>

namespace textformat {

// Longest text one field can take: sign, six digits, point and a
// four-character exponent ("-1.79769e+308").
constexpr int kGeneralFieldWidth = 13;

// Writes v into [first, last) exactly as printf "%g" does in the C locale
// ("inf", "-inf", "nan" and "-nan" for the non-finite values, as the C
// library prints them) and returns the end of what it wrote. The range must
// hold kGeneralFieldWidth characters; no terminating zero is written.
inline char* FormatGeneral(char* first, char* last, double v) {
  return std::to_chars(first, last, v, std::chars_format::general, 6).ptr;
}

}  // namespace textformat
