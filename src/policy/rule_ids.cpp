#include "policy/rule_ids.hpp"

#include <charconv>
#include <random>

#include "text/unicode_text.hpp"

namespace vardex {
namespace {

constexpr std::size_t slugLength = 24;

std::uint64_t processSeed() {
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    }();
    return seed;
}

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

std::string_view trimChar(std::string_view text, char c) {
    while (!text.empty() && text.front() == c) text.remove_prefix(1);
    while (!text.empty() && text.back() == c) text.remove_suffix(1);
    return text;
}

}  // namespace

std::int64_t pathHash(std::string_view path) {
    std::uint64_t h = mix(processSeed() ^ path.size());
    for (unsigned char byte : path) h = mix(h ^ byte) + 0x9e3779b97f4a7c15ULL;
    return static_cast<std::int64_t>(mix(h));
}

std::string slug(std::string_view path) {
    std::string_view trimmed = trimChar(path, '/');
    if (const auto slash = trimmed.rfind('/'); slash != std::string_view::npos) trimmed.remove_prefix(slash + 1);
    const std::string component = trimmed.empty() ? std::string("folder") : unicode::lowercased(trimmed);

    // Every other character becomes a dot, and a run of dots folds into one.
    std::string dotted;
    for (std::string_view character : unicode::characters(component)) {
        if (unicode::isLetterOrNumber(character)) {
            dotted.append(character);
        } else if (dotted.empty() || dotted.back() != '.') {
            dotted.push_back('.');
        }
    }

    std::string tail;
    std::size_t kept = 0;
    for (std::string_view character : unicode::characters(trimChar(dotted, '.'))) {
        if (kept++ == slugLength) break;
        tail.append(character);
    }

    // The most negative hash has no signed absolute value; its magnitude, 2^63, is written.
    const auto hash = static_cast<std::uint64_t>(pathHash(path));
    const std::uint64_t magnitude = (hash >> 63) != 0 ? ~hash + 1 : hash;
    char hex[16];
    const auto written = std::to_chars(hex, hex + sizeof hex, magnitude, 16);
    tail.push_back('.');
    tail.append(hex, written.ptr);
    return tail;
}

std::string normalisedDomain(std::string_view text) {
    std::string domain = unicode::lowercased(unicode::trimmed(text));
    if (const auto scheme = domain.find("://"); scheme != std::string::npos) domain.erase(0, scheme + 3);
    if (const auto slash = domain.find('/'); slash != std::string::npos) domain.erase(slash);
    if (domain.rfind("*.", 0) == 0) domain.erase(0, 2);
    if (domain.rfind("www.", 0) == 0) domain.erase(0, 4);
    return std::string(trimChar(domain, '.'));
}

}  // namespace vardex
