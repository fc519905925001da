// Texts whose every byte must survive a text box, the clipboard and an automation string:
// shown and read through the ANSI code page where it keeps every byte, else through one
// fixed map of the 256 byte values.
#pragma once

#include <string>
#include <string_view>

#include "Win.h"

// Whether codePage turns each byte 1 to 255 into one character and that character back
// into the same byte. True for the single-byte code pages; false for UTF-8 and the
// double-byte ones (932, 936, 949, 950), where a lone byte of 0x80 or above, or a lead
// byte without its trail byte, becomes U+FFFD and is gone. Asked of the system's own
// tables, so a code page it does not know, or one whose table has a hole, counts as
// losing bytes.
bool KeepsEveryByte(UINT codePage);

// Whether byte texts go through the fixed map: when the active code page does not keep
// every byte. Measured once per process; the code page cannot change while it runs.
bool ByteTextUsesFixedMap();

// The fixed map: code page 1252, its five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// taken as the control characters of the same number, as Windows' own table for 1252
// takes them. One character per byte value, each a different one.
wchar_t FixedMapCharacter(unsigned char value);

// Bytes as a text: through the fixed map when fixedMap, else the active code page.
std::wstring BytesToWide(std::string_view bytes, bool fixedMap = ByteTextUsesFixedMap());
// A text as bytes, the reverse. A character outside the map (or the code page) becomes
// '?', and lost (when given) says whether any did.
std::string WideToBytes(std::wstring_view text, bool* lost = nullptr, bool fixedMap = ByteTextUsesFixedMap());
