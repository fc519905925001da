// The identifiers of the automation server "Travok.Application": the program registers
// them, and its tests and benchmarks find the server by them. Nothing else here, so a
// client may include it without the program's classes.
#pragma once

#include <windows.h>

// {7C3B5A10-4E2F-11D4-8B91-00A0C95E3D27}
inline constexpr CLSID CLSID_TravokApplication = {
    0x7C3B5A10, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}};
// {7C3B5A12-4E2F-11D4-8B91-00A0C95E3D27}: the object's dispatch interface
inline constexpr IID DIID_ITravok = {0x7C3B5A12, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}};
inline constexpr char kTravokProgId[] = "Travok.Application";
