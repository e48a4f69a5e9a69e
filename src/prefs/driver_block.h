// The driver settings block: the 232-byte fixed layout of one settings set, little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace quillon {

// An unsigned or signed integer kept as little-endian bytes, so the block has no padding and
// reads the same on every host.
template <typename T>
struct LittleEndian {
    static_assert(std::is_integral_v<T>);
    std::array<std::uint8_t, sizeof(T)> bytes{};

    constexpr T get() const {
        std::make_unsigned_t<T> v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            v = static_cast<std::make_unsigned_t<T>>((v << 8) | bytes[i]);
        return static_cast<T>(v);
    }
    constexpr void set(T value) {
        auto v = static_cast<std::make_unsigned_t<T>>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bytes[i] = static_cast<std::uint8_t>(v & 0xFF);
            v = static_cast<std::make_unsigned_t<T>>(v >> 8);
        }
    }
};

// What one button does, for the driver.
struct DriverButtonSlot {
    std::uint8_t command;              // low byte of the action's command code
    std::uint8_t reserved1;            // zero
    std::uint8_t parameter;            // parameter byte
    std::uint8_t reserved3;            // zero
    LittleEndian<std::uint16_t> word;  // parameter word
};

// Axis flags of DriverSettingsBlock::axisFlags.
inline constexpr std::uint16_t kAxisDoubleX = 0x01;
inline constexpr std::uint16_t kAxisDoubleY = 0x02;
inline constexpr std::uint16_t kAxisInvertX = 0x04;
inline constexpr std::uint16_t kAxisInvertY = 0x08;
inline constexpr std::uint16_t kAxisSwapXY = 0x10;

// The fixed words every block carries at offset 16 (3, 1, 5, 1, 10 and 2 times 65536).
inline constexpr std::array<std::uint32_t, 6> kDriverBlockConstants = {196608, 65536,  327680,
                                                                       65536,  655360, 131072};
inline constexpr std::uint16_t kDriverScaleUnit = 1000;

struct DriverSettingsBlock {
    LittleEndian<std::int32_t> settingsNumber;             // the settings UID as a number
    std::uint8_t enabled;                                  // 0 or 1
    std::uint8_t reserved5;                                // zero
    LittleEndian<std::uint16_t> axisFlags;                 // kAxis* bits from the options
    LittleEndian<std::uint16_t> scaleUnit;                 // kDriverScaleUnit
    LittleEndian<std::uint16_t> speed;                     // driver scale of options.speed
    LittleEndian<std::uint16_t> acceleration;              // driver scale of options.acceleration
    std::uint8_t speedEnabled;                             // low byte of options.speedEnabled
    std::uint8_t accEnabled;                               // low byte of options.accEnabled
    std::array<LittleEndian<std::uint32_t>, 6> constants;  // kDriverBlockConstants
    std::array<DriverButtonSlot, 32> buttons;               // slot i: action key "%02d" of i

    // The 232 bytes as the driver reads them.
    std::span<const std::uint8_t, 232> bytes() const {
        return std::span<const std::uint8_t, 232>(reinterpret_cast<const std::uint8_t*>(this), 232);
    }
};

static_assert(std::is_standard_layout_v<DriverSettingsBlock>);
static_assert(std::is_trivially_copyable_v<DriverSettingsBlock>);
static_assert(sizeof(DriverButtonSlot) == 6);
static_assert(sizeof(DriverSettingsBlock) == 232);
static_assert(alignof(DriverSettingsBlock) == 1);
static_assert(offsetof(DriverSettingsBlock, enabled) == 4);
static_assert(offsetof(DriverSettingsBlock, axisFlags) == 6);
static_assert(offsetof(DriverSettingsBlock, scaleUnit) == 8);
static_assert(offsetof(DriverSettingsBlock, speed) == 10);
static_assert(offsetof(DriverSettingsBlock, acceleration) == 12);
static_assert(offsetof(DriverSettingsBlock, speedEnabled) == 14);
static_assert(offsetof(DriverSettingsBlock, accEnabled) == 15);
static_assert(offsetof(DriverSettingsBlock, constants) == 16);
static_assert(offsetof(DriverSettingsBlock, buttons) == 40);
static_assert(offsetof(DriverButtonSlot, parameter) == 2);
static_assert(offsetof(DriverButtonSlot, word) == 4);

// The driver's scale of a percentage option: 10 below 0, rising to 100 at 100 and 1000 at 200,
// 1000 above.
std::uint16_t driverScale(std::int64_t percent);

}  // namespace quillon
