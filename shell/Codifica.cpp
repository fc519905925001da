// Codifica / DeCodifica: the byte core, its result handed over as a BSTR.
#include "Codifica.h"

#include "coder/IncrementKey.h"
#include "framework/String.h"

namespace {

using travok::Direction;

BSTR CodeToBstr(Direction direction, std::string_view text, std::string_view key) {
    const std::vector<std::uint8_t> coded = travok::CodeText(direction, text, key);
    return CBstr(std::string_view(reinterpret_cast<const char*>(coded.data()), coded.size())).Detach();
}

}  // namespace

BSTR Codifica(std::string_view text, std::string_view key) { return CodeToBstr(Direction::Encode, text, key); }

BSTR DeCodifica(std::string_view text, std::string_view key) { return CodeToBstr(Direction::Decode, text, key); }
