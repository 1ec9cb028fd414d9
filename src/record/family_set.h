#pragma once

// The figure families of the snapshot and a set of them, so collection can be told which
// to fill without knowing the formatters that read them.
#include <cstddef>
#include <cstdint>

namespace statlume {

/// The figure families, by their position in the format registry.
enum class TFamily : std::size_t
{
    MBM = 0,
    UTP = 1,
    PageRAM = 2,
    Proc = 3,
    Network = 4,
    NonPerf = 5,
    Load = 6,
    Disk = 7,
    Battery = 8,
    Gpu = 9,
    Top = 10,
};

/// How many families there are.
inline constexpr std::size_t FamilyCount = 11;

/// A set of families; empty by default.
class TFamilySet
{
public:
    constexpr TFamilySet() = default;
    /// Every family.
    static constexpr TFamilySet All() { return TFamilySet((1u << FamilyCount) - 1); }
    /// The families whose figures the record carries (MBM to NonPerf).
    static constexpr TFamilySet RecordFamilies()
    {
        return TFamilySet((1u << (static_cast<std::size_t>(TFamily::NonPerf) + 1)) - 1);
    }

    /// The set with family added.
    constexpr TFamilySet With(TFamily family) const { return TFamilySet(Bits | Bit(family)); }
    /// The families of either set.
    constexpr TFamilySet Union(TFamilySet other) const { return TFamilySet(Bits | other.Bits); }
    /// True when family is in the set.
    constexpr bool Has(TFamily family) const { return (Bits & Bit(family)) != 0; }

    constexpr bool operator==(const TFamilySet&) const = default;

private:
    constexpr explicit TFamilySet(std::uint16_t bits)
        : Bits(bits)
    {
    }
    static constexpr std::uint16_t Bit(TFamily family)
    {
        return static_cast<std::uint16_t>(1u << static_cast<std::size_t>(family));
    }

    std::uint16_t Bits = 0;
};

} // namespace statlume
