// Codifica / DeCodifica: the byte core, its result handed over as a BSTR.
#include "Codifica.h"

#include <new>

#include "coder/IncrementKey.h"
#include "framework/ByteText.h"
#include "framework/String.h"

namespace {

using travok::Direction;

// A coded text goes out as a byte text, a decoded one in the code page, as the page
// shows them.
BSTR CodeToBstr(Direction direction, std::string_view text, std::string_view key) {
    const std::vector<std::uint8_t> coded = travok::CodeText(direction, text, key);
    const std::string_view bytes(reinterpret_cast<const char*>(coded.data()), coded.size());
    if (direction == Direction::Decode) return CBstr(bytes).Detach();
    const std::wstring wide = BytesToWide(bytes);
    BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!result) throw std::bad_alloc();
    return result;
}

}  // namespace

BSTR Codifica(std::string_view text, std::string_view key) { return CodeToBstr(Direction::Encode, text, key); }

BSTR DeCodifica(std::string_view text, std::string_view key) { return CodeToBstr(Direction::Decode, text, key); }
