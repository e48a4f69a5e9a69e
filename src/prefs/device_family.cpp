// Device families: the product ids that have a family of their own.
#include "prefs/device_family.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr ProductFamily kProductFamilies[] = {
    {0x01F0, kFamilyPell},    {0x0202, kFamilyTamber},  {0x0205, kFamilyTamber},
    {0x0210, kFamilyTamber},  {0x0211, kFamilyTamber},  {0x021F, kFamilyTamber},
    {0x0403, kFamilySorrel3}, {0x0404, kFamilySorrel3}, {0x0503, kFamilyTamber},
    {0x0703, kFamilySorrel3}, {0x0704, kFamilySorrel3}, {0x0800, kFamilySorrel},
    {0x0888, kFamilyPell},    {0x0892, kFamilyTamber},  {0x08A0, kFamilyTamber},
    {0x08A1, kFamilyTamber},  {0x08A5, kFamilyTamber},  {0x08B5, kFamilyTamber},
    {0x0903, kFamilyTamber},  {0x1003, kFamilySorrel3}, {0x1004, kFamilySorrel3},
    {0x1013, kFamilySorrel3}, {0x1055, kFamilyTamber},  {0x1056, kFamilyTamber},
    {0x1057, kFamilyTamber},  {0x1058, kFamilyTamber},  {0x1065, kFamilyTamber},
    {0x1066, kFamilyTamber},  {0x1067, kFamilyTamber},  {0x1068, kFamilyTamber},
    {0x2100, kFamilyKbd},     {0x2101, kFamilyKbd},     {0x3000, kFamilySorrel3},
    {0x712D, kFamilyTamber},
};

constexpr bool ascending() {
    for (std::size_t i = 1; i < std::size(kProductFamilies); ++i)
        if (kProductFamilies[i - 1].productID >= kProductFamilies[i].productID) return false;
    return true;
}
static_assert(ascending(), "the lookup below searches by halves");

}  // namespace

std::span<const ProductFamily> productFamilyTable() { return kProductFamilies; }

std::string_view deviceFamilyForProductID(std::uint16_t productID) {
    const auto* end = std::end(kProductFamilies);
    const auto* it = std::lower_bound(
        std::begin(kProductFamilies), end, productID,
        [](const ProductFamily& row, std::uint16_t id) { return row.productID < id; });
    return it != end && it->productID == productID ? it->family : kFamilyVantor;
}

}  // namespace quillon
