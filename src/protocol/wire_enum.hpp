#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace vardex {

// Every closed set of names travels as fixed wire texts. An enumeration takes part by
// specialising WireNames with its table, in case order.
template <class E>
struct WireNames;

template <class E>
constexpr std::string_view wireText(E value) {
    for (const auto& [e, text] : WireNames<E>::table) {
        if (e == value) return text;
    }
    return {};
}

template <class E>
constexpr std::optional<E> parseWireText(std::string_view text) {
    for (const auto& [e, name] : WireNames<E>::table) {
        if (name == text) return e;
    }
    return std::nullopt;
}

// All cases in declaration order.
template <class E>
constexpr auto allCases() {
    std::array<E, WireNames<E>::table.size()> out{};
    std::transform(WireNames<E>::table.begin(), WireNames<E>::table.end(), out.begin(),
                   [](const auto& entry) { return entry.first; });
    return out;
}

}  // namespace vardex
