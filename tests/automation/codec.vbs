' Travok.Application from VBScript: coding, letter case, argument conversion and the
' error numbers a script sees. Prints "FAIL ..." for each wrong answer and
' "all checks passed" at the end when there was none.
Option Explicit

Dim failures, travok, text, key, coded
failures = 0

Sub Check(what, got, expected)
    If got <> expected Then
        WScript.Echo "FAIL " & what & ": got [" & got & "], expected [" & expected & "]"
        failures = failures + 1
    End If
End Sub

' Runs a call that must fail and checks the error it raised.
Sub CheckError(what, number, description)
    If Err.Number = 0 Then
        WScript.Echo "FAIL " & what & ": no error"
        failures = failures + 1
    Else
        Check what & " (number)", Err.Number, number
        If description <> "" Then Check what & " (description)", Err.Description, description
    End If
    Err.Clear
End Sub

Set travok = CreateObject("Travok.Application")

Check "CodeWithKey", travok.CodeWithKey("Hello, World!", "123"), "Igomq/!Yrsng"""
Check "DeCodeWithKey", travok.DeCodeWithKey("Igomq/!Yrsng""", "123"), "Hello, World!"

' Variables arrive by reference; a round trip gives the text back.
text = "The quick brown fox" & vbCrLf & "jumps over the lazy dog."
key = "4711"
coded = travok.CodeWithKey(text, key)
Check "coded differs", coded <> text, True
Check "round trip", travok.DeCodeWithKey(coded, key), text

Check "small letters", travok.codewithkey("abc", "1"), "bcd"
Check "capitals", travok.DECODEWITHKEY("bcd", "1"), "abc"
Check "a number as the key", travok.CodeWithKey("abcd", 123), "bdfe"
Check "a number as the text", travok.CodeWithKey(42, "1"), "53"
Check "an empty text", travok.CodeWithKey("", "5"), ""
Check "an empty text and key", travok.DeCodeWithKey("", ""), ""
Check "Empty as the text", travok.CodeWithKey(Empty, "5"), ""

' A character coded to zero stays in the result, and decodes back.
coded = travok.CodeWithKey(Chr(255) & "A", "1")
Check "zero kept: length", Len(coded), 2
Check "zero kept: value", coded = Chr(0) & "B", True
Check "zero decoded", travok.DeCodeWithKey(coded, "1"), Chr(255) & "A"

On Error Resume Next
travok.NoSuchMember 1
CheckError "unknown member", 438, ""
coded = travok.CodeWithKey("abc", "")
CheckError "empty key", -2147024809, "There has to be a key number!"
coded = travok.DeCodeWithKey("abc", "")
Check "empty key source", Err.Source, "Travok.Application"
CheckError "empty key to decode", -2147024809, "There has to be a key number!"
coded = travok.CodeWithKey("abc")
CheckError "one argument", 449, ""
coded = travok.CodeWithKey("abc", "1", "2")
CheckError "three arguments", 450, ""
coded = travok.CodeWithKey(Null, "1")
CheckError "Null as the text", 13, ""
travok.CodeWithKey = "x"
CheckError "assigning to a method", 13, ""
On Error GoTo 0

' The server answers after every error.
Check "still answering", travok.CodeWithKey("x", "2"), "z"

Set travok = Nothing
If failures = 0 Then WScript.Echo "all checks passed"
