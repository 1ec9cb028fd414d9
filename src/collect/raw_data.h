#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace statlume {

/// Size in bytes of the snapshot record on the wire and in memory.
inline constexpr std::size_t RawDataSize = 272;

/// Number of drive slots in the snapshot.
inline constexpr std::size_t DriveSlots = 8;

/// One drive slot: a letter (0 = free slot) and its sizes in MB (1,048,576 bytes).
struct TDriveEntry
{
    char Letter = 0;
    std::uint8_t Pad[3] = {};
    float TotalMB = 0;
    float FreeMB = 0;
};

/// A length byte followed by up to 15 bytes of UTF-8 text.
struct TShortString
{
    std::uint8_t Length = 0;
    char Chars[15] = {};

    /// The text; a length above 15 (a malformed record) is read as 15.
    std::string Text() const;
    /// Stores at most 15 bytes of text, never cutting inside a UTF-8 character.
    void Assign(std::string_view text);
};

/// The snapshot record: every figure the display shows. Its natural layout is the
/// 272-byte wire layout; the offsets are checked below. Arrays indexed 1..N in the
/// documentation are 0-based here (Drives[0] is drive entry 1).
struct TRawData
{
    char Marker = 0;
    std::uint8_t Pad0[3] = {};
    TDriveEntry Drives[DriveSlots] = {};
    float ProcUsage[5] = {};
    float NetRead[5] = {};
    float NetWrite[5] = {};
    std::uint32_t PageFreeBytes = 0;
    std::uint32_t PageTotalBytes = 0;
    std::uint32_t RAMFreeBytes = 0;
    std::uint32_t RAMTotalBytes = 0;
    std::int64_t UptimeSecs = 0;
    std::int16_t ThreadCount = 0;
    std::int16_t ProcessCount = 0;
    /// Bits 32..39 of PageFreeBytes, PageTotalBytes, RAMFreeBytes and RAMTotalBytes, in
    /// that order; zero from a peer that knows nothing of memory above 4 GiB.
    std::uint8_t MemoryHigh[4] = {};
    double LocalTime = 0;
    std::uint8_t IPAddrs[4][4] = {};
    TShortString ComputerName;
    TShortString LogonName;
    std::int16_t Temps[3] = {};
    std::uint8_t Pad1[2] = {};
    std::int32_t Fans[3] = {};
    std::uint8_t Pad2[4] = {};
};

static_assert(sizeof(TDriveEntry) == 12);
static_assert(offsetof(TDriveEntry, TotalMB) == 4);
static_assert(offsetof(TDriveEntry, FreeMB) == 8);
static_assert(sizeof(TShortString) == 16);
static_assert(sizeof(TRawData) == RawDataSize);
static_assert(offsetof(TRawData, Marker) == 0);
static_assert(offsetof(TRawData, Drives) == 4);
static_assert(offsetof(TRawData, ProcUsage) == 100);
static_assert(offsetof(TRawData, NetRead) == 120);
static_assert(offsetof(TRawData, NetWrite) == 140);
static_assert(offsetof(TRawData, PageFreeBytes) == 160);
static_assert(offsetof(TRawData, PageTotalBytes) == 164);
static_assert(offsetof(TRawData, RAMFreeBytes) == 168);
static_assert(offsetof(TRawData, RAMTotalBytes) == 172);
static_assert(offsetof(TRawData, UptimeSecs) == 176);
static_assert(offsetof(TRawData, ThreadCount) == 184);
static_assert(offsetof(TRawData, ProcessCount) == 186);
static_assert(offsetof(TRawData, MemoryHigh) == 188);
static_assert(offsetof(TRawData, LocalTime) == 192);
static_assert(offsetof(TRawData, IPAddrs) == 200);
static_assert(offsetof(TRawData, ComputerName) == 216);
static_assert(offsetof(TRawData, LogonName) == 232);
static_assert(offsetof(TRawData, Temps) == 248);
static_assert(offsetof(TRawData, Fans) == 256);

using TRawBytes = std::array<std::uint8_t, RawDataSize>;

/// Writes the record in its little-endian wire layout, padding included.
TRawBytes EncodeRawData(const TRawData& data);
/// Reads a record from its wire layout; every byte pattern is a valid record.
TRawData DecodeRawData(std::span<const std::uint8_t, RawDataSize> bytes);

/// The four memory counts of the record as 40-bit values (low 32 bits in the documented
/// fields, bits 32..39 in MemoryHigh).
std::uint64_t PageFreeBytes64(const TRawData& data);
std::uint64_t PageTotalBytes64(const TRawData& data);
std::uint64_t RAMFreeBytes64(const TRawData& data);
std::uint64_t RAMTotalBytes64(const TRawData& data);

/// Stores the four memory counts; values above 2^40 - 1 are held at 2^40 - 1.
void SetMemoryBytes(TRawData& data, std::uint64_t pageFree, std::uint64_t pageTotal,
                    std::uint64_t ramFree, std::uint64_t ramTotal);

} // namespace statlume
