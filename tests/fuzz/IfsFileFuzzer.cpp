// Any bytes as a .ifs file. The reader either refuses them with a line inside the text or
// returns entries whose map counts agree with their maps; every plane entry written out again
// reads back as one entry of the same name with bit-identical maps.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "document/IfsFile.h"

namespace {

using namespace orv;

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<IfsEntry> entries;
    try {
        entries = parseIfs(text);
    } catch (const IfsSyntaxError& error) {
        const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        if (error.line() < 1 || error.line() > lines) {
            fail("a fault reported outside the text", error.what());
        }
        return 0;
    }
    for (const IfsEntry& entry : entries) {
        if (entry.name.empty() || entry.mapCount == 0) {
            fail("an entry without a name or maps", entry.name);
        }
        if (entry.maps.size() != (entry.threeDimensional ? 0 : entry.mapCount)) {
            fail("an entry whose maps disagree with its count", entry.name);
        }
        if (findEntry(entries, entry.name) == nullptr) {
            fail("an entry that cannot be found by its name", entry.name);
        }
        if (entry.threeDimensional) {
            continue;
        }
        const std::string written = formatIfsEntry(entry.name, entry.maps);
        std::vector<IfsEntry> again;
        try {
            again = parseIfs(written);
        } catch (const IfsSyntaxError& error) {
            fail("a written entry does not read back", error.what() + ("\n" + written));
        }
        if (again.size() != 1 || again[0].name != entry.name ||
            again[0].maps.size() != entry.maps.size() ||
            std::memcmp(again[0].maps.data(), entry.maps.data(),
                        entry.maps.size() * sizeof(AffineMap)) != 0) {
            fail("a written entry reads back differently", written);
        }
    }
    return 0;
}
