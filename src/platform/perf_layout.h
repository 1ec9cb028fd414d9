#pragma once

#include <cstddef>
#include <cstdint>

namespace statlume::perf {

// Byte offsets of the published performance-data structures (little-endian, 32-bit title
// fields). Shared by the code that builds blocks and the walker that reads them.

/// PERF_DATA_BLOCK: header of a returned block.
namespace data_block {
inline constexpr std::size_t Signature = 0; // "PERF" in UTF-16, 8 bytes
inline constexpr std::size_t LittleEndian = 8;
inline constexpr std::size_t Version = 12;
inline constexpr std::size_t Revision = 16;
inline constexpr std::size_t TotalByteLength = 20;
inline constexpr std::size_t HeaderLength = 24;
inline constexpr std::size_t NumObjectTypes = 28;
inline constexpr std::size_t DefaultObject = 32;
inline constexpr std::size_t SystemTime = 36;      // 16 bytes
inline constexpr std::size_t PerfTime = 56;        // int64
inline constexpr std::size_t PerfFreq = 64;        // int64
inline constexpr std::size_t PerfTime100nSec = 72; // int64
inline constexpr std::size_t SystemNameLength = 80;
inline constexpr std::size_t SystemNameOffset = 84;
inline constexpr std::size_t Size = 88;
} // namespace data_block

/// PERF_OBJECT_TYPE.
namespace object_type {
inline constexpr std::size_t TotalByteLength = 0;
inline constexpr std::size_t DefinitionLength = 4;
inline constexpr std::size_t HeaderLength = 8;
inline constexpr std::size_t ObjectNameTitleIndex = 12;
inline constexpr std::size_t ObjectNameTitle = 16;
inline constexpr std::size_t ObjectHelpTitleIndex = 20;
inline constexpr std::size_t ObjectHelpTitle = 24;
inline constexpr std::size_t DetailLevel = 28;
inline constexpr std::size_t NumCounters = 32;
inline constexpr std::size_t DefaultCounter = 36;
inline constexpr std::size_t NumInstances = 40; // int32; below 1 = no instances
inline constexpr std::size_t CodePage = 44;
inline constexpr std::size_t PerfTime = 48; // int64
inline constexpr std::size_t PerfFreq = 56; // int64
inline constexpr std::size_t Size = 64;
} // namespace object_type

/// PERF_COUNTER_DEFINITION.
namespace counter_definition {
inline constexpr std::size_t ByteLength = 0;
inline constexpr std::size_t CounterNameTitleIndex = 4;
inline constexpr std::size_t CounterNameTitle = 8;
inline constexpr std::size_t CounterHelpTitleIndex = 12;
inline constexpr std::size_t CounterHelpTitle = 16;
inline constexpr std::size_t DefaultScale = 20;
inline constexpr std::size_t DetailLevel = 24;
inline constexpr std::size_t CounterType = 28;
inline constexpr std::size_t CounterSize = 32;
inline constexpr std::size_t CounterOffset = 36;
inline constexpr std::size_t Size = 40;
} // namespace counter_definition

/// PERF_INSTANCE_DEFINITION; the UTF-16 name follows at NameOffset.
namespace instance_definition {
inline constexpr std::size_t ByteLength = 0;
inline constexpr std::size_t ParentObjectTitleIndex = 4;
inline constexpr std::size_t ParentObjectInstance = 8;
inline constexpr std::size_t UniqueID = 12;
inline constexpr std::size_t NameOffset = 16;
inline constexpr std::size_t NameLength = 20; // bytes, terminating null included
inline constexpr std::size_t Size = 24;
} // namespace instance_definition

/// PERF_COUNTER_BLOCK; the counter values follow it.
namespace counter_block {
inline constexpr std::size_t ByteLength = 0;
inline constexpr std::size_t Size = 4;
} // namespace counter_block

/// Title indices of the objects and counters the collection reads.
namespace title {
inline constexpr std::uint32_t SystemObject = 2;
inline constexpr std::uint32_t ProcessorObject = 238;
inline constexpr std::uint32_t ProcessObject = 230;
inline constexpr std::uint32_t NetworkObject = 638;
inline constexpr std::uint32_t IdleTime = 6;        // processor, int64, 100 ns
inline constexpr std::uint32_t ProcessCount = 248;  // system, uint32
inline constexpr std::uint32_t ThreadCount = 250;   // system, uint32
inline constexpr std::uint32_t BytesReceived = 264; // network, uint32
inline constexpr std::uint32_t BytesSent = 506;     // network, uint32
inline constexpr std::uint32_t SystemUpTime = 674;  // system, int64 elapsed-time counter
inline constexpr std::uint32_t ProcessTime = 6;     // process, int64, 100 ns
inline constexpr std::uint32_t ProcessStart = 684;  // process, int64, start since boot, 100 ns
inline constexpr std::uint32_t ProcessId = 784;     // process, int64
} // namespace title

} // namespace statlume::perf
