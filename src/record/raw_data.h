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

/// Bytes in the MB the figures are given in.
inline constexpr double BytesPerMB = 1048576.0;

/// Number of drive slots in the snapshot.
inline constexpr std::size_t DriveSlots = 8;

/// One drive slot: a letter (0 = free slot) and its sizes in MB (1,048,576 bytes).
struct TDriveEntry
{
    /// Upper-case drive letter; 0 marks a free slot.
    char Letter = 0;
    /// Wire padding, carried unchanged.
    std::uint8_t Pad[3] = {};
    /// Total size in MB.
    float TotalMB = 0;
    /// Space free to the user in MB.
    float FreeMB = 0;
};

/// A length byte followed by up to 15 bytes of UTF-8 text.
struct TShortString
{
    /// Bytes used in Chars (0..15 in a well-formed record).
    std::uint8_t Length = 0;
    /// The text bytes, zero after Length.
    char Chars[15] = {};

    /// The text; a length above 15 (a malformed record) is read as 15.
    std::string Text() const;
    /// Stores at most 15 bytes of text, never cutting inside a UTF-8 character.
    void Assign(std::string_view text);
};

/// The snapshot record: every figure the display shows. Its natural layout is the
/// 272-byte wire layout; the offsets are checked below. Arrays are 0-based (Drives[0] is
/// the first drive entry).
struct TRawData
{
    /// "T" in a valid record.
    char Marker = 0;
    /// Wire padding, carried unchanged.
    std::uint8_t Pad0[3] = {};
    /// Drives the DriveSpace items asked for, with their last measured sizes.
    TDriveEntry Drives[DriveSlots] = {};
    /// Processor usage in percent: [0] all processors, [1..4] processors 1 to 4.
    float ProcUsage[5] = {};
    /// KB/s received: [0] all adapters, [1..4] adapters 1 to 4.
    float NetRead[5] = {};
    /// KB/s sent, indexed as NetRead.
    float NetWrite[5] = {};
    /// Low 32 bits of the free page-file bytes.
    std::uint32_t PageFreeBytes = 0;
    /// Low 32 bits of the total page-file bytes.
    std::uint32_t PageTotalBytes = 0;
    /// Low 32 bits of the available physical memory bytes.
    std::uint32_t RAMFreeBytes = 0;
    /// Low 32 bits of the total physical memory bytes.
    std::uint32_t RAMTotalBytes = 0;
    /// Whole seconds since the system started.
    std::int64_t UptimeSecs = 0;
    /// Threads in the system (low 16 bits).
    std::int16_t ThreadCount = 0;
    /// Processes in the system (low 16 bits).
    std::int16_t ProcessCount = 0;
    /// Bits 32..39 of PageFreeBytes, PageTotalBytes, RAMFreeBytes and RAMTotalBytes, in
    /// that order; zero from a peer that knows nothing of memory above 4 GiB.
    std::uint8_t MemoryHigh[4] = {};
    /// Local time as days since 1899-12-30, the fraction being the time of day.
    double LocalTime = 0;
    /// Up to four IPv4 addresses in network byte order; a first octet of 0 marks an empty slot.
    std::uint8_t IPAddrs[4][4] = {};
    /// The host name, empty until fetched.
    TShortString ComputerName;
    /// The user's login name, empty until fetched.
    TShortString LogonName;
    /// Sensor temperatures 1 to 3 in degrees Celsius.
    std::int16_t Temps[3] = {};
    /// Wire padding, carried unchanged.
    std::uint8_t Pad1[2] = {};
    /// Fan readings 1 to 3 (255 = unreadable).
    std::int32_t Fans[3] = {};
    /// Wire padding, carried unchanged.
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

/// The record in its wire layout.
using TRawBytes = std::array<std::uint8_t, RawDataSize>;

/// Writes the record in its little-endian wire layout, padding included.
TRawBytes EncodeRawData(const TRawData& data);
/// Reads a record from its wire layout; every byte pattern is a valid record.
TRawData DecodeRawData(std::span<const std::uint8_t, RawDataSize> bytes);

/// The four memory counts of the record as 40-bit values (low 32 bits in the 32-bit fields,
/// bits 32..39 in MemoryHigh).
std::uint64_t PageFreeBytes64(const TRawData& data);
std::uint64_t PageTotalBytes64(const TRawData& data);
std::uint64_t RAMFreeBytes64(const TRawData& data);
std::uint64_t RAMTotalBytes64(const TRawData& data);

/// Stores the four memory counts; values above 2^40 - 1 are held at 2^40 - 1.
void SetMemoryBytes(TRawData& data, std::uint64_t pageFree, std::uint64_t pageTotal,
                    std::uint64_t ramFree, std::uint64_t ramTotal);

} // namespace statlume
