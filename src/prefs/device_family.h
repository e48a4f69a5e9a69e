// Device families: the family key strings and the one table from product id to family.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

inline constexpr std::string_view kFamilyTamber = "tamber";
inline constexpr std::string_view kFamilyPell = "pell";
inline constexpr std::string_view kFamilyVantor = "vantor";
inline constexpr std::string_view kFamilySorrel = "sorrel";
inline constexpr std::string_view kFamilySorrel3 = "sorrel3";
inline constexpr std::string_view kFamilyKbd = "kbd";

// Every family, in the order the shipped resources list them.
inline constexpr std::array<std::string_view, 6> kDeviceFamilies = {
    kFamilyTamber, kFamilyPell, kFamilyVantor, kFamilySorrel, kFamilySorrel3, kFamilyKbd};

// One product id with a family of its own; every id not listed is `vantor`.
struct ProductFamily {
    std::uint16_t productID;
    std::string_view family;
};

// The listed product ids, in ascending order.
std::span<const ProductFamily> productFamilyTable();

// The family key of a product id: its row of the table, else `vantor`.
std::string_view deviceFamilyForProductID(std::uint16_t productID);

}  // namespace quillon
