' Encode a text with Travok's automation object and decode it again.
Dim travok, coded
Set travok = CreateObject("Travok.Application")
coded = travok.CodeWithKey("Hello, Travok!", "4711")
WScript.Echo "Coded:   " & coded
WScript.Echo "Decoded: " & travok.DeCodeWithKey(coded, "4711")
Set travok = Nothing
