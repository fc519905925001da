// The page's operations that open one named file, which the fault tests try one by one.
#pragma once

#include <ostream>

namespace travok::test {

enum class Op { InputToText, InputToFile, OutputFromText, OutputFromFile, KeyLoad, KeySave };

inline const char* OpName(Op op) {
    switch (op) {
    case Op::InputToText: return "InputOfFileToText";
    case Op::InputToFile: return "InputOfFileToFile";
    case Op::OutputFromText: return "OutputOfTextToFile";
    case Op::OutputFromFile: return "OutputOfFileToFile";
    case Op::KeyLoad: return "KeyLoad";
    case Op::KeySave: return "KeySave";
    }
    return "?";
}

inline void PrintTo(Op op, std::ostream* os) { *os << OpName(op); }

}  // namespace travok::test
