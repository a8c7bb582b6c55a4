#pragma once

// The places of the letter and digit keys on a PC keyboard, by set-1 scan code: the key's
// place, whatever the keyboard layout prints on it. Shared by the system implementations,
// which turn their native codes into these.

#include <cstdint>
#include <string_view>
#include <utility>

namespace sys::scancodes {

// The Latin letter or digit at a place on a US keyboard, or 0 for any other key.
constexpr char latinKeyAt(std::uint32_t setOneCode)
{
    // The rows of the main block: digits from 0x02, then the three letter rows.
    constexpr std::pair<std::uint32_t, std::string_view> rows[] = { { 0x02, "1234567890" },
        { 0x10, "QWERTYUIOP" }, { 0x1E, "ASDFGHJKL" }, { 0x2C, "ZXCVBNM" } };
    for (const auto& [first, keys] : rows)
        if (setOneCode >= first && setOneCode < first + keys.size())
            return keys[setOneCode - first];
    return 0;
}

} // namespace sys::scancodes
