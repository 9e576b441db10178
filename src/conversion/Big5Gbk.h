// Conversion of byte strings between GBK (code page 936) and Big5 (code page 950), code by code
// through the tables of CodeTables.
#pragma once

#include <string>

// The two bytes (high byte first) of the partner of code, or of code itself when the table does
// not know it. Only the low 16 bits of a code outside 0..0xFFFF are returned.
std::string GbkToBig5Code(int code);
std::string Big5ToGbkCode(int code);

// Bytes below 0x80 pass unchanged. A byte of 0x80 or more starts a pair with the next byte,
// whatever it is, and the pair is replaced by its look-up; a lead byte left at the end is
// dropped.
std::string GbkToBig5(const std::string& text);
std::string Big5ToGbk(const std::string& text);
