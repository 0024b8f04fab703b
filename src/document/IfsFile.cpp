#include "document/IfsFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace orv {

namespace {

// A map's numbers: a 2-D one has six and a probability, a 3-D one twelve and a probability.
constexpr std::size_t kPlaneNumbers = 6;
constexpr std::size_t kSpaceNumbers = 12;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == ',';
}

bool endsWord(char c) {
    return isSeparator(c) || c == '\n' || c == ';' || c == '{' || c == '}';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lower(x) == lower(y); });
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char x, char y) { return lower(x) == lower(y); }) != text.end();
}

// A C floating-point constant as strtod reads it, without its locale: decimal or "0x" hex,
// with an optional sign. Only finite values are numbers here.
std::optional<double> parseNumber(std::string_view word) {
    bool negative = false;
    if (!word.empty() && (word.front() == '+' || word.front() == '-')) {
        negative = word.front() == '-';
        word.remove_prefix(1);
    }
    auto format = std::chars_format::general;
    if (word.size() > 2 && word[0] == '0' && lower(word[1]) == 'x') {
        format = std::chars_format::hex;
        word.remove_prefix(2);
    }
    // from_chars takes a sign of its own; one after ours or after "0x" is not C.
    if (word.empty() || word.front() == '-' || word.front() == '+') {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(word.data(), word.data() + word.size(), value, format);
    if (error != std::errc{} || end != word.data() + word.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string quoted(std::string_view name) {
    return "'" + printableText(name) + "'";
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::vector<IfsEntry> read() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                endLine();
                ++line_;
                ++at_;
            } else if (c == ';') {
                while (at_ < text_.size() && text_[at_] != '\n') {
                    ++at_;
                }
            } else if (isSeparator(c)) {
                ++at_;
            } else if (c == '{') {
                open();
                ++at_;
            } else if (c == '}') {
                close();
                ++at_;
            } else {
                word();
            }
        }
        if (inEntry_) {
            throw IfsSyntaxError(entry_.line,
                                 "entry " + quoted(entry_.name) + " is not closed with '}'");
        }
        if (!name_.empty()) {
            throw IfsSyntaxError(nameLine_, quoted(name_) + " is not followed by '{'");
        }
        return std::move(entries_);
    }

private:
    void open() {
        if (inEntry_) {
            throw IfsSyntaxError(line_, "a '{' inside entry " + quoted(entry_.name));
        }
        if (name_.empty()) {
            throw IfsSyntaxError(line_, "a '{' without an entry name before it");
        }
        entry_ = IfsEntry{};
        entry_.name = std::move(name_);
        entry_.line = nameLine_;
        entry_.threeDimensional = containsIgnoringCase(entry_.name, "(3D)");
        name_.clear();
        inEntry_ = true;
    }

    void close() {
        if (!inEntry_) {
            throw IfsSyntaxError(line_, "a '}' with no entry to close");
        }
        endLine();
        if (entry_.mapCount == 0) {
            throw IfsSyntaxError(entry_.line, "entry " + quoted(entry_.name) + " has no maps");
        }
        entries_.push_back(std::move(entry_));
        inEntry_ = false;
    }

    void word() {
        const std::size_t start = at_;
        while (at_ < text_.size() && !endsWord(text_[at_])) {
            ++at_;
        }
        const std::string_view word = text_.substr(start, at_ - start);
        if (!inEntry_) {
            if (name_.empty()) {
                nameLine_ = line_;
            } else {
                name_ += ' ';
            }
            name_ += word;
            return;
        }
        const auto value = parseNumber(word);
        if (!value) {
            throw IfsSyntaxError(line_, quoted(word) + " in entry " + quoted(entry_.name) +
                                            " is not a finite number");
        }
        // Only a map's worth is kept: a line with more is refused when it ends.
        if (count_ < numbers_.size()) {
            numbers_[count_] = *value;
        }
        ++count_;
    }

    void endLine() {
        if (!inEntry_ || count_ == 0) {
            return;
        }
        const std::size_t wanted = entry_.threeDimensional ? kSpaceNumbers : kPlaneNumbers;
        if (count_ != wanted && count_ != wanted + 1) {
            throw IfsSyntaxError(line_, "entry " + quoted(entry_.name) + " has a map of " +
                                            std::to_string(count_) + " numbers; a map here has " +
                                            std::to_string(wanted) + ", or " +
                                            std::to_string(wanted + 1) + " with its probability");
        }
        if (!entry_.threeDimensional) {
            const auto& n = numbers_;
            entry_.maps.push_back(
                {.a = n[0], .b = n[1], .c = n[2], .d = n[3], .e = n[4], .f = n[5]});
        }
        ++entry_.mapCount;
        count_ = 0;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    int line_ = 1;
    std::string name_;
    int nameLine_ = 0;
    bool inEntry_ = false;
    IfsEntry entry_;
    std::array<double, kSpaceNumbers + 1> numbers_{};
    std::size_t count_ = 0;
    std::vector<IfsEntry> entries_;
};

std::string shortest(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string fixed4(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    return std::string(text, result.ptr);
}

}  // namespace

IfsSyntaxError::IfsSyntaxError(int line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason), line_(line) {}

std::vector<IfsEntry> parseIfs(std::string_view text) {
    return Reader(text).read();
}

const IfsEntry* findEntry(std::span<const IfsEntry> entries, std::string_view name) {
    for (const IfsEntry& entry : entries) {
        if (name.empty() || sameIgnoringCase(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<std::string> whyNotDrawable(const IfsEntry& entry) {
    if (entry.threeDimensional) {
        return "it is three-dimensional; Orv draws systems of the plane";
    }
    if (entry.mapCount > 6) {
        return "it has " + std::to_string(entry.mapCount) + " maps; Orv draws at most 6";
    }
    return std::nullopt;
}

std::vector<double> ifsProbabilities(std::span<const AffineMap> maps) {
    std::vector<double> areas;
    double total = 0.0;
    for (const AffineMap& m : maps) {
        areas.push_back(std::abs(m.a * m.d - m.b * m.c));
        total += areas.back();
    }
    if (!(total > 0.0) || !std::isfinite(total)) {
        return std::vector<double>(maps.size(), 1.0 / static_cast<double>(maps.size()));
    }
    double floored = 0.0;
    for (double& area : areas) {
        area = std::max(area, total / 100.0);
        floored += area;
    }
    for (double& area : areas) {
        area /= floored;
    }
    return areas;
}

std::string formatIfsEntry(std::string_view name, std::span<const AffineMap> maps) {
    const std::vector<double> probabilities = ifsProbabilities(maps);
    std::string text = std::string(name) + " {\n  ; a b c d e f p\n";
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const AffineMap& m = maps[i];
        text += " ";
        for (double value : {m.a, m.b, m.c, m.d, m.e, m.f}) {
            text += ' ';
            text += shortest(value);
        }
        text += ' ';
        text += fixed4(probabilities[i]);
        text += '\n';
    }
    return text + "}\n";
}

std::string ifsEntryName(std::string_view path) {
    if (const auto slash = path.rfind('/'); slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    if (const auto dot = path.rfind('.'); dot != std::string_view::npos && dot > 0) {
        path = path.substr(0, dot);
    }
    std::string name(path);
    for (char& c : name) {
        if (endsWord(c)) {
            c = '_';
        }
    }
    return name.empty() ? "orv" : name;
}

std::string printableText(std::string_view text, std::size_t limit) {
    std::string shown;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const bool startsCharacter = (byte & 0xC0) != 0x80;
        if (startsCharacter && at >= limit) {
            return shown + "...";
        }
        shown += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
    }
    return shown;
}

}  // namespace orv
