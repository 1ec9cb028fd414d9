#include "record/raw_data.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace statlume {

namespace {

constexpr std::uint64_t MaxMemoryBytes = (std::uint64_t{1} << 40) - 1;

class TWriter
{
public:
    explicit TWriter(TRawBytes& out)
        : Out(out)
    {
    }

    void Byte(std::uint8_t value) { Out[Pos++] = value; }
    void Bytes(const void* source, std::size_t count)
    {
        std::memcpy(Out.data() + Pos, source, count);
        Pos += count;
    }
    void U16(std::uint16_t value)
    {
        Byte(static_cast<std::uint8_t>(value));
        Byte(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            Byte(static_cast<std::uint8_t>(value >> shift));
    }
    void U64(std::uint64_t value)
    {
        for (int shift = 0; shift < 64; shift += 8)
            Byte(static_cast<std::uint8_t>(value >> shift));
    }
    void F32(float value) { U32(std::bit_cast<std::uint32_t>(value)); }
    void F64(double value) { U64(std::bit_cast<std::uint64_t>(value)); }

private:
    TRawBytes& Out;
    std::size_t Pos = 0;
};

class TReader
{
public:
    explicit TReader(std::span<const std::uint8_t, RawDataSize> in)
        : In(in)
    {
    }

    std::uint8_t Byte() { return In[Pos++]; }
    void Bytes(void* target, std::size_t count)
    {
        std::memcpy(target, In.data() + Pos, count);
        Pos += count;
    }
    std::uint16_t U16()
    {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    std::uint32_t U32()
    {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= std::uint32_t{Byte()} << shift;
        return value;
    }
    std::uint64_t U64()
    {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 8)
            value |= std::uint64_t{Byte()} << shift;
        return value;
    }
    float F32() { return std::bit_cast<float>(U32()); }
    double F64() { return std::bit_cast<double>(U64()); }

private:
    std::span<const std::uint8_t, RawDataSize> In;
    std::size_t Pos = 0;
};

std::uint64_t Join(std::uint32_t low, std::uint8_t high)
{
    return (std::uint64_t{high} << 32) | low;
}

} // namespace

std::string TShortString::Text() const
{
    return std::string(Chars, std::min<std::size_t>(Length, sizeof Chars));
}

void TShortString::Assign(std::string_view text)
{
    std::size_t count = std::min(text.size(), sizeof Chars);
    // Step back over continuation bytes so that no character is cut in two.
    if (count < text.size()) {
        while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80)
            --count;
    }
    std::memset(Chars, 0, sizeof Chars);
    std::memcpy(Chars, text.data(), count);
    Length = static_cast<std::uint8_t>(count);
}

TRawBytes EncodeRawData(const TRawData& data)
{
    TRawBytes out{};
    TWriter w(out);
    w.Byte(static_cast<std::uint8_t>(data.Marker));
    w.Bytes(data.Pad0, 3);
    for (const TDriveEntry& drive : data.Drives) {
        w.Byte(static_cast<std::uint8_t>(drive.Letter));
        w.Bytes(drive.Pad, 3);
        w.F32(drive.TotalMB);
        w.F32(drive.FreeMB);
    }
    for (float v : data.ProcUsage)
        w.F32(v);
    for (float v : data.NetRead)
        w.F32(v);
    for (float v : data.NetWrite)
        w.F32(v);
    w.U32(data.PageFreeBytes);
    w.U32(data.PageTotalBytes);
    w.U32(data.RAMFreeBytes);
    w.U32(data.RAMTotalBytes);
    w.U64(static_cast<std::uint64_t>(data.UptimeSecs));
    w.U16(static_cast<std::uint16_t>(data.ThreadCount));
    w.U16(static_cast<std::uint16_t>(data.ProcessCount));
    w.Bytes(data.MemoryHigh, 4);
    w.F64(data.LocalTime);
    w.Bytes(data.IPAddrs, 16);
    for (const TShortString* s : {&data.ComputerName, &data.LogonName}) {
        w.Byte(s->Length);
        w.Bytes(s->Chars, 15);
    }
    for (std::int16_t t : data.Temps)
        w.U16(static_cast<std::uint16_t>(t));
    w.Bytes(data.Pad1, 2);
    for (std::int32_t f : data.Fans)
        w.U32(static_cast<std::uint32_t>(f));
    w.Bytes(data.Pad2, 4);
    return out;
}

TRawData DecodeRawData(std::span<const std::uint8_t, RawDataSize> bytes)
{
    TRawData data;
    TReader r(bytes);
    data.Marker = static_cast<char>(r.Byte());
    r.Bytes(data.Pad0, 3);
    for (TDriveEntry& drive : data.Drives) {
        drive.Letter = static_cast<char>(r.Byte());
        r.Bytes(drive.Pad, 3);
        drive.TotalMB = r.F32();
        drive.FreeMB = r.F32();
    }
    for (float& v : data.ProcUsage)
        v = r.F32();
    for (float& v : data.NetRead)
        v = r.F32();
    for (float& v : data.NetWrite)
        v = r.F32();
    data.PageFreeBytes = r.U32();
    data.PageTotalBytes = r.U32();
    data.RAMFreeBytes = r.U32();
    data.RAMTotalBytes = r.U32();
    data.UptimeSecs = static_cast<std::int64_t>(r.U64());
    data.ThreadCount = static_cast<std::int16_t>(r.U16());
    data.ProcessCount = static_cast<std::int16_t>(r.U16());
    r.Bytes(data.MemoryHigh, 4);
    data.LocalTime = r.F64();
    r.Bytes(data.IPAddrs, 16);
    for (TShortString* s : {&data.ComputerName, &data.LogonName}) {
        s->Length = r.Byte();
        r.Bytes(s->Chars, 15);
    }
    for (std::int16_t& t : data.Temps)
        t = static_cast<std::int16_t>(r.U16());
    r.Bytes(data.Pad1, 2);
    for (std::int32_t& f : data.Fans)
        f = static_cast<std::int32_t>(r.U32());
    r.Bytes(data.Pad2, 4);
    return data;
}

std::uint64_t PageFreeBytes64(const TRawData& data)
{
    return Join(data.PageFreeBytes, data.MemoryHigh[0]);
}
std::uint64_t PageTotalBytes64(const TRawData& data)
{
    return Join(data.PageTotalBytes, data.MemoryHigh[1]);
}
std::uint64_t RAMFreeBytes64(const TRawData& data)
{
    return Join(data.RAMFreeBytes, data.MemoryHigh[2]);
}
std::uint64_t RAMTotalBytes64(const TRawData& data)
{
    return Join(data.RAMTotalBytes, data.MemoryHigh[3]);
}

void SetMemoryBytes(TRawData& data, std::uint64_t pageFree, std::uint64_t pageTotal,
                    std::uint64_t ramFree, std::uint64_t ramTotal)
{
    const std::uint64_t values[4] = {pageFree, pageTotal, ramFree, ramTotal};
    std::uint32_t* lows[4] = {&data.PageFreeBytes, &data.PageTotalBytes, &data.RAMFreeBytes,
                              &data.RAMTotalBytes};
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t v = std::min(values[i], MaxMemoryBytes);
        *lows[i] = static_cast<std::uint32_t>(v);
        data.MemoryHigh[i] = static_cast<std::uint8_t>(v >> 32);
    }
}

} // namespace statlume
