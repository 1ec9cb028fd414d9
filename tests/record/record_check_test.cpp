#include <cmath>
#include <functional>
#include <limits>

#include "record/record_check.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
const TRawData Fresh;

// A record as a collection leaves it: marker set, a drive, names, figures.
TRawData Collected()
{
    TRawData data;
    data.Marker = 'T';
    data.Drives[0].Letter = 'C';
    data.Drives[0].TotalMB = 476'000.5f;
    data.Drives[0].FreeMB = 120'000.25f;
    data.ProcUsage[0] = 37.5f;
    data.NetRead[0] = 12.0f;
    data.UptimeSecs = 86'400;
    data.LocalTime = 46'000.5;
    data.ComputerName.Assign("alpha");
    data.LogonName.Assign("operator");
    return data;
}

void Clear(TRawData& data)
{
    data = Fresh;
}

TEST(RecordCheck, PassesWhatAPeerMaySendAndFailsWhatNoneCan)
{
    struct TCase
    {
        const char* name;
        std::function<void(TRawData&)> change;
        bool passes;
    };
    const TCase cases[] = {
        {"as collected", [](TRawData&) {}, true},
        {"nothing but the marker", [](TRawData& d) { Clear(d), d.Marker = 'T'; }, true},
        {"counts are only their low 16 bits",
         [](TRawData& d) { d.ThreadCount = -1, d.ProcessCount = -32768; }, true},
        {"memory extension in the padding",
         [](TRawData& d) { d.MemoryHigh[0] = d.MemoryHigh[3] = 0xFF; }, true},
        {"other padding and bytes after a name's length",
         [](TRawData& d) {
             d.Pad0[0] = d.Pad1[1] = d.Pad2[3] = d.Drives[2].Pad[1] = 0xFF;
             d.ComputerName.Chars[14] = '\x1B';
         },
         true},
        {"names of 15 bytes", [](TRawData& d) { d.ComputerName.Length = d.LogonName.Length = 15; },
         true},
        {"free slot keeping an earlier drive's sizes and letter Z",
         [](TRawData& d) { d.Drives[0].Letter = 0, d.Drives[7].Letter = 'Z'; }, true},
        {"negative zero size", [](TRawData& d) { d.Drives[0].FreeMB = -0.0f; }, true},
        {"usage not clamped, exclusion pushing far out",
         [](TRawData& d) { d.ProcUsage[1] = -100.0f, d.ProcUsage[0] = -90'000.0f; }, true},
        {"network counter reset", [](TRawData& d) { d.NetRead[1] = -1024.0f; }, true},
        {"largest step of a 32-bit counter in 1 ms",
         [](TRawData& d) { d.NetWrite[0] = -2'097'152'000.0f, d.NetRead[4] = 2'097'152'000.0f; },
         true},
        {"negative uptime, sensors of any value",
         [](TRawData& d) { d.UptimeSecs = -2, d.Temps[0] = -32768, d.Fans[1] = -1; }, true},
        {"fresh shell, marker 0", Clear, false},
        {"marker X", [](TRawData& d) { d.Marker = 'X'; }, false},
        {"computer name length 16", [](TRawData& d) { d.ComputerName.Length = 16; }, false},
        {"user name length 255", [](TRawData& d) { d.LogonName.Length = 255; }, false},
        {"lower-case drive letter", [](TRawData& d) { d.Drives[1].Letter = 'c'; }, false},
        {"digit as drive letter", [](TRawData& d) { d.Drives[4].Letter = '1'; }, false},
        {"high byte as drive letter", [](TRawData& d) { d.Drives[7].Letter = '\xC3'; }, false},
        {"negative drive size", [](TRawData& d) { d.Drives[0].FreeMB = -1.0f; }, false},
        {"drive size not a number", [](TRawData& d) { d.Drives[5].TotalMB = NaN; }, false},
        {"infinite drive size", [](TRawData& d) { d.Drives[0].TotalMB = Inf; }, false},
        {"processor figure not a number", [](TRawData& d) { d.ProcUsage[3] = NaN; }, false},
        {"infinite processor figure", [](TRawData& d) { d.ProcUsage[0] = -Inf; }, false},
        {"processor figure beyond the band", [](TRawData& d) { d.ProcUsage[4] = 2e6f; }, false},
        {"network rate not a number", [](TRawData& d) { d.NetWrite[2] = NaN; }, false},
        {"network rate beyond any counter step", [](TRawData& d) { d.NetRead[0] = -2.2e9f; },
         false},
        {"infinite network rate", [](TRawData& d) { d.NetWrite[0] = Inf; }, false},
        {"local time not a number",
         [](TRawData& d) { d.LocalTime = std::numeric_limits<double>::quiet_NaN(); }, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TRawData data = Collected();
        c.change(data);
        // Through the wire form, as a peer's record or a file arrives.
        const auto failure = RecordCheckFailure(DecodeRawData(EncodeRawData(data)));
        EXPECT_EQ(!failure.has_value(), c.passes) << failure.value_or("passes");
    }
}

} // namespace
} // namespace statlume
