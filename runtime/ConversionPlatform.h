// The platform's part of text-to-number conversion: the regional decimal separator (declared
// in Conversion.h) and strtod with "." as the separator, whatever the regional settings say.
#pragma once

namespace orvane {

// strtod reading "." as the decimal separator; errno as strtod sets it.
double StrtodClassic(const char* text, char** end);

}  // namespace orvane
