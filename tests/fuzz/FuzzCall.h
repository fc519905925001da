// Randomized but reproducible IDispatch calls: a seeded generator and the calls it makes,
// whose arguments own every VARIANT and by-reference target.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace travok::fuzz {

// splitmix64: the same numbers on every compiler and platform, unlike the standard
// library's distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next();
    std::uint32_t Below(std::uint32_t n) { return n ? static_cast<std::uint32_t>(Next() % n) : 0; }
    bool OneIn(std::uint32_t n) { return Below(n) == 0; }
    // Uniform in [lo, hi].
    std::int64_t Between(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t m_state;
};

// Every call gets a generator of its own from the run's seed and its index, so one call
// can be made again on its own.
std::uint64_t CallSeed(std::uint64_t runSeed, std::uint64_t index);

// Where calls go: straight into the object in this process, or through COM's proxy to
// a server process. Only in process may a call carry what no proxy can marshal (null
// pointers for required parameters, VARTYPEs that do not exist).
enum class Transport { InProcess, OutOfProcess };

// One argument: the VARIANT passed, and the value a by-reference VARIANT points into.
struct FuzzArg {
    FuzzArg();
    ~FuzzArg();
    FuzzArg(const FuzzArg&) = delete;
    FuzzArg& operator=(const FuzzArg&) = delete;

    VARIANT value;   // what goes into DISPPARAMS
    VARIANT target;  // owned storage behind a VT_BYREF value
    DECIMAL decimal; // behind VT_BYREF | VT_DECIMAL: a DECIMAL fills a whole VARIANT
    std::string Describe() const;
};

struct FuzzCall {
    enum class Kind { Invoke, GetIDsOfNames } kind = Kind::Invoke;
    IID iid = IID_NULL;

    // GetIDsOfNames
    std::vector<std::wstring> names;
    std::vector<bool> nullName;  // in process only: that entry is a null pointer
    bool nullNames = false;      // in process only
    bool nullIds = false;        // in process only

    // Invoke
    DISPID id = 0;
    WORD flags = 0;
    std::vector<std::unique_ptr<FuzzArg>> args;  // in declared order: args[0] is the first (the text)
    std::vector<DISPID> named;                   // names of the first named.size() DISPPARAMS entries
    bool resultPlace = true;
    bool excepInfoPlace = true;
    bool argErrPlace = true;
    bool nullParams = false;   // in process only: no DISPPARAMS at all
    bool nullRgvarg = false;   // in process only: cArgs without the array

    std::string Describe() const;
};

// Makes the call with the given index of a run; the same seed and index give the same
// call. Never makes About (DISPID 3) as a call that would open its box.
FuzzCall MakeCall(std::uint64_t runSeed, std::uint64_t index, Transport transport);

// Text of a HRESULT for reports: its symbolic name where it is one we expect.
std::string HresultName(HRESULT hr);
std::string Printable(std::wstring_view text, size_t limit = 40);
// A VARIANT for reports; target is what a by-reference value points into.
std::string DescribeVariant(const VARIANT& v, const VARIANT* target);

// The code page as characters: character b - 1 is what byte b (1..255) converts to.
const std::wstring& CodePageTable();

}  // namespace travok::fuzz
