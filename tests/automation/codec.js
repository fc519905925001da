// Travok.Application from JScript: coding, characters outside the code page, and the
// status codes a script sees. Prints "FAIL ..." for each wrong answer and
// "all checks passed" at the end when there was none.
var failures = 0;

function check(what, got, expected) {
    if (got !== expected) {
        WScript.Echo("FAIL " + what + ": got [" + got + "], expected [" + expected + "]");
        failures++;
    }
}

// Runs call, which must throw; checks the status code and, if given, the description.
function checkError(what, call, status, description) {
    try {
        call();
        WScript.Echo("FAIL " + what + ": no error");
        failures++;
    } catch (e) {
        check(what + " (status)", (e.number >>> 0).toString(16), status);
        if (description !== undefined) check(what + " (description)", e.description, description);
    }
}

var travok = new ActiveXObject("Travok.Application");

check("CodeWithKey", travok.CodeWithKey("Hello", "123"), "Igomq");
check("DeCodeWithKey", travok.DeCodeWithKey("Igomq", "123"), "Hello");
check("other letter case", travok.codeWITHkey("abc", "12"), "bdd");
check("a number as the key", travok.CodeWithKey("abcd", 123), "bdfe");
check("a fraction as the key", travok.CodeWithKey("aaa", 1.5), "b_f");
check("an empty text", travok.CodeWithKey("", "9"), "");

// Characters the code page lacks arrive as '?'; the euro sign is in it.
check("outside the code page", travok.CodeWithKey("\u4e00\u03a9\u20ac", "1"), "@@\u0081");
var text = "";
for (var i = 1; i < 256; i++) text += String.fromCharCode(i);
var coded = travok.CodeWithKey(text, "2718281828");
check("every character kept", coded.length, text.length);

checkError("unknown member", function () { travok.Frobnicate(); }, "800a01b6");
checkError("empty key", function () { travok.CodeWithKey("abc", ""); }, "80070057",
           "There has to be a key number!");
checkError("one argument", function () { travok.DeCodeWithKey("abc"); }, "8002000f");
checkError("three arguments", function () { travok.CodeWithKey("abc", "1", "2"); }, "8002000e");
checkError("null as the key", function () { travok.CodeWithKey("abc", null); }, "80020005");

check("still answering", travok.CodeWithKey("x", "2"), "z");

travok = null;
CollectGarbage();
if (failures === 0) WScript.Echo("all checks passed");
