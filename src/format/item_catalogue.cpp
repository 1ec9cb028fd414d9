#include "format/item_catalogue.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "format/beyond_values.h"
#include "format/item_texts.h"

namespace statlume {

namespace {

constexpr std::string_view TemperatureFamily = "statlume_temperature_celsius";
constexpr std::string_view TemperatureHelp = "Motherboard temperature sensors.";
constexpr std::string_view FanFamily = "statlume_fan_rpm";
constexpr std::string_view FanFamilyHelp = "Fan speeds in revolutions per minute.";
constexpr std::string_view MemoryFamily = "statlume_memory_bytes";
constexpr std::string_view MemoryFamilyHelp = "Physical memory (ram) and swap, free and total.";
constexpr std::string_view MemoryLabels = "kind,state";

constexpr TItemMetric TemperatureMetric{TemperatureFamily, TemperatureHelp, "sensor"};
constexpr TItemMetric FanMetric{FanFamily, FanFamilyHelp, "sensor"};
constexpr TItemMetric MemoryMetric{MemoryFamily, MemoryFamilyHelp, MemoryLabels};
// Used memory is total less free, which the memory family carries already.
constexpr TItemMetric NotExported{"", "", ""};

constexpr std::string_view AgainstTotal = "the total";
constexpr std::string_view NoMaximum = "";
// U+00B0 in UTF-8.
constexpr std::string_view Celsius = "\xC2\xB0"
                                     "C";

// The help of an item whose figure the record does not carry, so a client never shows it.
std::string BeyondRecordHelp(std::string_view text)
{
    return std::string(text) + " A client (connected to a server) shows no value: the server "
                               "does not send this figure.";
}

std::string DiskHelp(std::string_view way, std::string_view tagName)
{
    return BeyondRecordHelp("Bytes " + std::string(way) +
                            " all physical disks, in KB/sec. <NAME=" + std::string(tagName) +
                            ">. Uses FORMAT, LEADZERO, DECIMAL, SIZE. Set Format to a device's "
                            "kernel name (sda, nvme0n1, dm-0) to show that device alone; without "
                            "it, the sum over the whole disks.");
}

std::string BatteryHelp(std::string_view what, std::string_view tagName, std::string_view uses)
{
    return BeyondRecordHelp(std::string(what) + " <NAME=" + std::string(tagName) + ">. Uses " +
                            std::string(uses) +
                            ". Set Format to a battery's kernel name (BAT1) to show that one; "
                            "without it, all system batteries together.");
}

std::string LoadAvgHelp()
{
    return BeyondRecordHelp("The load average (tasks running or waiting), with two decimals. "
                            "<NAME=LoadAvg>. Uses FORMAT, LEADZERO, SIZE. Set Format to the "
                            "minutes it averages over: 1 (the default), 5 or 15.");
}

std::string GpuHelp(std::string_view what, std::string_view tagName, std::string_view uses)
{
    return BeyondRecordHelp(
        std::string(what) + " <NAME=" + std::string(tagName) + ">. Uses " + std::string(uses) +
        ". Set Format to a number to pick that GPU, in PCI address order (1, the default, is "
        "the first). A GPU asleep (in runtime suspend) shows busy 0 and no other figure, and "
        "is not woken to read them; an NVIDIA GPU shows only its name without the management "
        "library its driver installs.");
}

std::string TopHelp(std::string_view order, std::string_view tagName)
{
    return BeyondRecordHelp("The processes that use the most " + std::string(order) +
                            ", the largest first. <NAME=" + std::string(tagName) +
                            ">. Uses FORMAT, LEADZERO, DECIMAL, SIZE. Set Format to a place "
                            "from 1 to 10 and what to show of that process: \"1 NAME\" (its "
                            "own name), \"1 CPU\" (its share of the whole machine's processor "
                            "time in percent), \"1 MEM\" (its resident memory in MB) or \"1 "
                            "PID\". The processes are read only while such an item is shown.");
}

// The temperature usage strings end with a degree sign, U+00BA in UTF-8.
constexpr auto Rows = std::to_array<TItemRow>({
    {.Item = TItem::Temp1,
     .Family = TFamily::MBM,
     .TagName = "Temp1",
     .DisplayName = "Temperature 1",
     .Help = [] { return TempHelp('1'); },
     .DefaultUsage = "Temp1: <NAME=Temp1 FORMAT=\"F\">\xC2\xBA",
     .Options = "FORMAT",
     .Text = nullptr,
     .Measure = MeasureTemp1,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = Celsius,
     .Metric = TemperatureMetric},
    {.Item = TItem::Temp2,
     .Family = TFamily::MBM,
     .TagName = "Temp2",
     .DisplayName = "Temperature 2",
     .Help = [] { return TempHelp('2'); },
     .DefaultUsage = "Temp2: <NAME=Temp2 FORMAT=\"F\">\xC2\xBA",
     .Options = "FORMAT",
     .Text = nullptr,
     .Measure = MeasureTemp2,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = Celsius,
     .Metric = TemperatureMetric},
    {.Item = TItem::Temp3,
     .Family = TFamily::MBM,
     .TagName = "Temp3",
     .DisplayName = "Temperature 3",
     .Help = [] { return TempHelp('3'); },
     .DefaultUsage = "Temp3: <NAME=Temp3 FORMAT=\"F\">\xC2\xBA",
     .Options = "FORMAT",
     .Text = nullptr,
     .Measure = MeasureTemp3,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = Celsius,
     .Metric = TemperatureMetric},
    {.Item = TItem::Fan1,
     .Family = TFamily::MBM,
     .TagName = "Fan1",
     .DisplayName = "Fan 1",
     .Help = [] { return FanHelp('1'); },
     .DefaultUsage = "Fan1: <NAME=Fan1>",
     .Options = "",
     .Text = nullptr,
     .Measure = MeasureFan1,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "rpm",
     .Metric = FanMetric},
    {.Item = TItem::Fan2,
     .Family = TFamily::MBM,
     .TagName = "Fan2",
     .DisplayName = "Fan 2",
     .Help = [] { return FanHelp('2'); },
     .DefaultUsage = "Fan2: <NAME=Fan2>",
     .Options = "",
     .Text = nullptr,
     .Measure = MeasureFan2,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "rpm",
     .Metric = FanMetric},
    {.Item = TItem::Fan3,
     .Family = TFamily::MBM,
     .TagName = "Fan3",
     .DisplayName = "Fan 3",
     .Help = [] { return FanHelp('3'); },
     .DefaultUsage = "Fan3: <NAME=Fan3>",
     .Options = "",
     .Text = nullptr,
     .Measure = MeasureFan3,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "rpm",
     .Metric = FanMetric},
    {.Item = TItem::Uptime,
     .Family = TFamily::UTP,
     .TagName = "Uptime",
     .DisplayName = "Uptime",
     .Help = UptimeHelp,
     .DefaultUsage = "<NAME=Uptime FORMAT=\"*d* days, *H* hrs, *M* mins, *S* secs\" SIZE=20>",
     .Options = "FORMAT LEADZERO",
     .Text = nullptr,
     .Measure = nullptr,
     .Known = SystemKnown,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "s",
     .Metric = {"statlume_uptime_seconds", "Seconds since the system started.", ""}},
    {.Item = TItem::Threads,
     .Family = TFamily::UTP,
     .TagName = "Threads",
     .DisplayName = "System Thread Count",
     .Help = []() -> std::string {
         return "Total number of Threads active across the system. Uses SIZE. <NAME=Threads>.";
     },
     .DefaultUsage = "Threads: <NAME=Threads SIZE=5>",
     .Options = "",
     .Text = nullptr,
     .Measure = MeasureThreads,
     .Known = SystemKnown,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = {"statlume_threads", "Threads in the system.", ""}},
    {.Item = TItem::Processes,
     .Family = TFamily::UTP,
     .TagName = "Processes",
     .DisplayName = "System Processes Count",
     .Help = []() -> std::string {
         return "Total number of Processes active across the system. Uses SIZE. "
                "<NAME=Processes>.";
     },
     .DefaultUsage = "Processes: <NAME=Processes SIZE=5>",
     .Options = "",
     .Text = nullptr,
     .Measure = MeasureProcesses,
     .Known = SystemKnown,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = {"statlume_processes", "Processes in the system.", ""}},
    {.Item = TItem::PageTotal,
     .Family = TFamily::PageRAM,
     .TagName = "PageTotal",
     .DisplayName = "PageTotal",
     .Help = []() -> std::string {
         return "Total Bytes in Pagefile, expressed in MB. <NAME=PageTotal>. Uses SIZE";
     },
     .DefaultUsage = "PageTotal: <NAME=PageTotal>",
     .Options = "DECIMAL",
     .Text = nullptr,
     .Measure = MeasurePageTotal,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "MB",
     .Metric = MemoryMetric},
    {.Item = TItem::PageUsed,
     .Family = TFamily::PageRAM,
     .TagName = "PageUsed",
     .DisplayName = "PageUsed",
     .Help =
         [] {
             return PercentageHelp(
                 "Used Bytes in Pagefile, expressed in MB. <NAME=PageUsed>. Uses SIZE");
         },
     .DefaultUsage = "PageUsed: <NAME=PageUsed>",
     .Options = "FORMAT DECIMAL",
     .Text = nullptr,
     .Measure = MeasurePageUsed,
     .Known = nullptr,
     .Scale = PartScale,
     .MaximumText = AgainstTotal,
     .Unit = "MB",
     .Metric = NotExported},
    {.Item = TItem::PageFree,
     .Family = TFamily::PageRAM,
     .TagName = "PageFree",
     .DisplayName = "PageFree",
     .Help =
         [] {
             return PercentageHelp(
                 "Free Bytes in Pagefile, expressed in MB. <NAME=PageFree>. Uses SIZE");
         },
     .DefaultUsage = "PageFree: <NAME=PageFree>",
     .Options = "FORMAT DECIMAL",
     .Text = nullptr,
     .Measure = MeasurePageFree,
     .Known = nullptr,
     .Scale = FreeScale,
     .MaximumText = AgainstTotal,
     .Unit = "MB",
     .Metric = MemoryMetric},
    {.Item = TItem::RAMTotal,
     .Family = TFamily::PageRAM,
     .TagName = "RAMTotal",
     .DisplayName = "RAMTotal",
     .Help = []() -> std::string {
         return "Total Bytes in RAM, expressed in MB. <NAME=RAMTotal>. Uses SIZE";
     },
     .DefaultUsage = "RAMTotal: <NAME=RAMTotal>",
     .Options = "DECIMAL",
     .Text = nullptr,
     .Measure = MeasureRAMTotal,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "MB",
     .Metric = MemoryMetric},
    {.Item = TItem::RAMUsed,
     .Family = TFamily::PageRAM,
     .TagName = "RAMUsed",
     .DisplayName = "RAMUsed",
     .Help =
         [] {
             return PercentageHelp("Used Bytes in RAM, expressed in MB. <NAME=RAMUsed>. Uses SIZE");
         },
     .DefaultUsage = "RAMUsed: <NAME=RAMUsed>",
     .Options = "FORMAT DECIMAL",
     .Text = nullptr,
     .Measure = MeasureRAMUsed,
     .Known = nullptr,
     .Scale = PartScale,
     .MaximumText = AgainstTotal,
     .Unit = "MB",
     .Metric = NotExported},
    {.Item = TItem::RAMFree,
     .Family = TFamily::PageRAM,
     .TagName = "RAMFree",
     .DisplayName = "RAMFree",
     .Help =
         [] {
             return PercentageHelp("Free Bytes in RAM, expressed in MB. <NAME=RAMFree>. Uses SIZE");
         },
     .DefaultUsage = "RAMFree: <NAME=RAMFree>",
     .Options = "FORMAT DECIMAL",
     .Text = nullptr,
     .Measure = MeasureRAMFree,
     .Known = nullptr,
     .Scale = FreeScale,
     .MaximumText = AgainstTotal,
     .Unit = "MB",
     .Metric = MemoryMetric},
    {.Item = TItem::ProcUsage,
     .Family = TFamily::Proc,
     .TagName = "ProcUsage",
     .DisplayName = "Processor Usage",
     .Help = []() -> std::string {
         return "Displays processor usage as a percentage. <NAME=ProcUsage>. Uses FORMAT, "
                "LEADZERO, DECIMAL, SIZE. Set Format to the number processor you would like to "
                "display (1-4), or ALL for the total.";
     },
     .DefaultUsage = "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = nullptr,
     .Measure = MeasureProcUsage,
     .Known = ProcKnown,
     .Scale = PartScale,
     .MaximumText = "100 percent",
     .Unit = "%",
     .Metric = {"statlume_cpu_usage_ratio",
                "Processor usage over the last update interval (0 to 1).", "cpu"}},
    {.Item = TItem::NetRead,
     .Family = TFamily::Network,
     .TagName = "NetRead",
     .DisplayName = "Network Read Stats",
     .Help = []() -> std::string {
         return "Bytes Read from all network adapters, in KB/sec. <NAME=NetRead>. Uses FORMAT, "
                "LEADZERO, DECIMAL, SIZE. Set Format to the number NIC you would like to display "
                "(1-4), or ALL for the total.";
     },
     .DefaultUsage = "KB Read: <NAME=NetRead LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = nullptr,
     .Measure = MeasureNetRead,
     .Known = NetKnown,
     .Scale = RateScale,
     .MaximumText = "the peak of the last minute",
     .Unit = "KB/s",
     .Metric = {"statlume_network_receive_bytes_per_second",
                "Bytes received per second by all network adapters (total) or one of them.",
                "slot"}},
    {.Item = TItem::NetWrite,
     .Family = TFamily::Network,
     .TagName = "NetWrite",
     .DisplayName = "Network Write Stats",
     .Help = []() -> std::string {
         return "Bytes Written to all network adapters, in KB/sec. <NAME=NetWrite>. Uses FORMAT, "
                "LEADZERO, DECIMAL, SIZE. Set Format to the number NIC you would like to display "
                "(1-4), or ALL for the total.";
     },
     .DefaultUsage = "KB Write: <NAME=NetWrite LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = nullptr,
     .Measure = MeasureNetWrite,
     .Known = NetKnown,
     .Scale = RateScale,
     .MaximumText = "the peak of the last minute",
     .Unit = "KB/s",
     .Metric = {"statlume_network_transmit_bytes_per_second",
                "Bytes sent per second by all network adapters (total) or one of them.", "slot"}},
    {.Item = TItem::IPAddr,
     .Family = TFamily::NonPerf,
     .TagName = "IPAddr",
     .DisplayName = "IP Addresses",
     .Help = []() -> std::string {
         return "Total number of IP addresses locally bound to adapters. Uses SIZE, LEADZERO, "
                "FORMAT. When LEADZERO is used in this context, each of the 3-digit numbers "
                "making up the address will be left-padded with zeroes. FORMAT is used to specify "
                "the character(s) separating each IP (Default is a comma and space)"
                "<NAME=IPAddr>.";
     },
     .DefaultUsage = "<NAME=IPAddr>",
     .Options = "FORMAT LEADZERO",
     .Text = nullptr,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::CompName,
     .Family = TFamily::NonPerf,
     .TagName = "CompName",
     .DisplayName = "Computer Name",
     .Help = []() -> std::string {
         return "Local computer name, specified in Network Identification. 15 character max. "
                "Uses SIZE. <NAME=CompName>.";
     },
     .DefaultUsage = "<NAME=CompName>",
     .Options = "",
     .Text = nullptr,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::UserName,
     .Family = TFamily::NonPerf,
     .TagName = "UserName",
     .DisplayName = "User Name",
     .Help = []() -> std::string {
         return "Logged in User name. 15 character max. Uses SIZE. <NAME=UserName>.";
     },
     .DefaultUsage = "<NAME=UserName>",
     .Options = "",
     .Text = nullptr,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::DateTime,
     .Family = TFamily::NonPerf,
     .TagName = "DateTime",
     .DisplayName = "Date and Time",
     .Help = DateTimeHelp,
     .DefaultUsage = "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\">",
     .Options = "FORMAT",
     .Text = nullptr,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::Blank,
     .Family = TFamily::NonPerf,
     .TagName = "Blank",
     .DisplayName = "Blank",
     .Help = []() -> std::string {
         return "Blank tag which doesn't actually format data, and is basically used to let you "
                "apply the SIZE tag to space things. <NAME=Blank>. Uses SIZE";
     },
     .DefaultUsage = "<NAME=Blank SIZE=5>",
     .Options = "",
     .Text = nullptr,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::DriveSpace,
     .Family = TFamily::NonPerf,
     .TagName = "DriveSpace",
     .DisplayName = "Drive Space",
     .Help = DriveSpaceHelp,
     .DefaultUsage = "Drive C: <NAME=DriveSpace SIZE=5 FORMAT=\"C FREE\">",
     .Options = "FORMAT DECIMAL",
     .Text = nullptr,
     .Measure = MeasureDriveSpace,
     .Known = nullptr,
     .Scale = DriveScale,
     .MaximumText = "the drive's total, with FREE",
     .Unit = "MB",
     .Metric = {"statlume_filesystem_bytes",
                "Space free to the user and total space of the drives measured.",
                "drive,mount,state"}},
    {.Item = TItem::LoadAvg,
     .Family = TFamily::Load,
     .TagName = "LoadAvg",
     .DisplayName = "Load Average",
     .Help = LoadAvgHelp,
     .DefaultUsage = "Load: <NAME=LoadAvg FORMAT=\"1\">",
     .Options = "FORMAT LEADZERO",
     .Text = LoadAvgText,
     .Measure = MeasureLoadAvg,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::DiskRead,
     .Family = TFamily::Disk,
     .TagName = "DiskRead",
     .DisplayName = "Disk Read Stats",
     .Help = [] { return DiskHelp("Read from", "DiskRead"); },
     .DefaultUsage = "Disk KB Read: <NAME=DiskRead LEADZERO DECIMAL SIZE=5>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = DiskReadText,
     .Measure = MeasureDiskRead,
     .Known = nullptr,
     .Scale = RateScale,
     .MaximumText = "the peak of the last minute",
     .Unit = "KB/s",
     .Metric = {"statlume_disk_read_bytes_total", "Bytes read from each whole disk since boot.",
                "device"}},
    {.Item = TItem::DiskWrite,
     .Family = TFamily::Disk,
     .TagName = "DiskWrite",
     .DisplayName = "Disk Write Stats",
     .Help = [] { return DiskHelp("Written to", "DiskWrite"); },
     .DefaultUsage = "Disk KB Write: <NAME=DiskWrite LEADZERO DECIMAL SIZE=5>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = DiskWriteText,
     .Measure = MeasureDiskWrite,
     .Known = nullptr,
     .Scale = RateScale,
     .MaximumText = "the peak of the last minute",
     .Unit = "KB/s",
     .Metric = {"statlume_disk_written_bytes_total", "Bytes written to each whole disk since boot.",
                "device"}},
    {.Item = TItem::BatteryCharge,
     .Family = TFamily::Battery,
     .TagName = "BatteryCharge",
     .DisplayName = "Battery Charge",
     .Help =
         [] {
             return BatteryHelp("The battery's charge as a percentage.", "BatteryCharge",
                                "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "Battery %: <NAME=BatteryCharge SIZE=3>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = BatteryChargeText,
     .Measure = MeasureBatteryCharge,
     .Known = nullptr,
     .Scale = FreeScale,
     .MaximumText = "100 percent",
     .Unit = "%",
     .Metric = {"statlume_battery_charge_ratio", "Charge of each system battery (0 to 1).",
                "battery"}},
    {.Item = TItem::BatteryState,
     .Family = TFamily::Battery,
     .TagName = "BatteryState",
     .DisplayName = "Battery State",
     .Help =
         [] {
             return BatteryHelp("Whether the battery is Charging, Discharging, Full, Not "
                                "charging or Unknown.",
                                "BatteryState", "FORMAT, SIZE");
         },
     .DefaultUsage = "<NAME=BatteryState>",
     .Options = "FORMAT",
     .Text = BatteryStateText,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::BatteryTime,
     .Family = TFamily::Battery,
     .TagName = "BatteryTime",
     .DisplayName = "Battery Time",
     .Help =
         [] {
             return BatteryHelp("Time to empty while discharging, to full while charging, as "
                                "hours:minutes; empty when unknown.",
                                "BatteryTime", "FORMAT, SIZE");
         },
     .DefaultUsage = "Battery time: <NAME=BatteryTime SIZE=5>",
     .Options = "FORMAT",
     .Text = BatteryTimeText,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::BatteryPower,
     .Family = TFamily::Battery,
     .TagName = "BatteryPower",
     .DisplayName = "Battery Power",
     .Help =
         [] {
             return BatteryHelp("Power the battery gives or takes, in W.", "BatteryPower",
                                "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "Battery W: <NAME=BatteryPower DECIMAL>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = BatteryPowerText,
     .Measure = MeasureBatteryPower,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "W",
     .Metric = {"statlume_battery_power_watts",
                "Power each system battery gives or takes, in watts.", "battery"}},
    {.Item = TItem::GPUUsage,
     .Family = TFamily::Gpu,
     .TagName = "GPUUsage",
     .DisplayName = "GPU Usage",
     .Help =
         [] {
             return GpuHelp("How busy the GPU is, as a percentage. On Intel GPUs this is the "
                            "GPU time of the processes this user may read: every process for "
                            "root, only their own for other users.",
                            "GPUUsage", "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "GPU %: <NAME=GPUUsage SIZE=3>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = GPUUsageText,
     .Measure = MeasureGPUUsage,
     .Known = nullptr,
     .Scale = PartScale,
     .MaximumText = "100 percent",
     .Unit = "%",
     .Metric = {"statlume_gpu_busy_ratio", "How busy each GPU is (0 to 1).", "gpu,name"}},
    {.Item = TItem::GPUMemUsed,
     .Family = TFamily::Gpu,
     .TagName = "GPUMemUsed",
     .DisplayName = "GPU Memory Used",
     .Help =
         [] {
             return GpuHelp("Video memory used, in MB; with a % in Format (\"%\", \"2 %\") "
                            "as a percentage of the total.",
                            "GPUMemUsed", "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "GPU MB: <NAME=GPUMemUsed>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = GPUMemUsedText,
     .Measure = MeasureGPUMemUsed,
     .Known = nullptr,
     .Scale = PartScale,
     .MaximumText = AgainstTotal,
     .Unit = "MB",
     .Metric = {"statlume_gpu_memory_used_bytes", "Video memory used on each GPU.", "gpu,name"}},
    {.Item = TItem::GPUMemTotal,
     .Family = TFamily::Gpu,
     .TagName = "GPUMemTotal",
     .DisplayName = "GPU Memory Total",
     .Help =
         [] {
             return GpuHelp("Video memory, in MB.", "GPUMemTotal",
                            "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "GPU MB total: <NAME=GPUMemTotal>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = GPUMemTotalText,
     .Measure = MeasureGPUMemTotal,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "MB",
     .Metric = {"statlume_gpu_memory_total_bytes", "Video memory of each GPU.", "gpu,name"}},
    {.Item = TItem::GPUTemp,
     .Family = TFamily::Gpu,
     .TagName = "GPUTemp",
     .DisplayName = "GPU Temperature",
     .Help =
         [] {
             return GpuHelp("The GPU's temperature in degrees Celsius.", "GPUTemp",
                            "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "GPU: <NAME=GPUTemp>\xC2\xB0",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = GPUTempText,
     .Measure = MeasureGPUTemp,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = Celsius,
     .Metric = {"statlume_gpu_temperature_celsius", "Temperature of each GPU.", "gpu,name"}},
    {.Item = TItem::GPUPower,
     .Family = TFamily::Gpu,
     .TagName = "GPUPower",
     .DisplayName = "GPU Power",
     .Help =
         [] {
             return GpuHelp("Power the GPU draws, in W (on an AMD APU, with its processor).",
                            "GPUPower", "FORMAT, LEADZERO, DECIMAL, SIZE");
         },
     .DefaultUsage = "GPU W: <NAME=GPUPower DECIMAL>",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = GPUPowerText,
     .Measure = MeasureGPUPower,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "W",
     .Metric = {"statlume_gpu_power_watts", "Power each GPU draws, in watts.", "gpu,name"}},
    {.Item = TItem::GPUClock,
     .Family = TFamily::Gpu,
     .TagName = "GPUClock",
     .DisplayName = "GPU Clock",
     .Help =
         [] {
             return GpuHelp("The GPU's graphics clock in MHz.", "GPUClock",
                            "FORMAT, LEADZERO, SIZE");
         },
     .DefaultUsage = "GPU MHz: <NAME=GPUClock>",
     .Options = "FORMAT LEADZERO",
     .Text = GPUClockText,
     .Measure = MeasureGPUClock,
     .Known = nullptr,
     .Scale = CountScale,
     .MaximumText = NoMaximum,
     .Unit = "MHz",
     .Metric = NotExported},
    {.Item = TItem::GPUName,
     .Family = TFamily::Gpu,
     .TagName = "GPUName",
     .DisplayName = "GPU Name",
     .Help =
         [] {
             return GpuHelp("The GPU's name where its driver gives one, else its vendor and "
                            "PCI address.",
                            "GPUName", "FORMAT, SIZE");
         },
     .DefaultUsage = "<NAME=GPUName>",
     .Options = "FORMAT",
     .Text = GPUNameText,
     .Measure = nullptr,
     .Known = nullptr,
     .Scale = NoScale,
     .MaximumText = NoMaximum,
     .Unit = "",
     .Metric = NotExported},
    {.Item = TItem::TopCPU,
     .Family = TFamily::Top,
     .TagName = "TopCPU",
     .DisplayName = "Top Processes by CPU",
     .Help = [] { return TopHelp("processor time", "TopCPU"); },
     .DefaultUsage = "Top CPU %: <NAME=TopCPU FORMAT=\"1 CPU\"> <NAME=TopCPU FORMAT=\"1 NAME\">",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = TopCpuText,
     .Measure = MeasureTopCpu,
     .Known = nullptr,
     .Scale = TopScale,
     .MaximumText = "100 percent, with CPU",
     .Unit = "%",
     .Metric = NotExported},
    {.Item = TItem::TopMem,
     .Family = TFamily::Top,
     .TagName = "TopMem",
     .DisplayName = "Top Processes by Memory",
     .Help = [] { return TopHelp("resident memory", "TopMem"); },
     .DefaultUsage = "Top MB: <NAME=TopMem FORMAT=\"1 MEM\"> <NAME=TopMem FORMAT=\"1 NAME\">",
     .Options = "FORMAT LEADZERO DECIMAL",
     .Text = TopMemText,
     .Measure = MeasureTopMem,
     .Known = nullptr,
     .Scale = TopScale,
     .MaximumText = NoMaximum,
     .Unit = "MB",
     .Metric = NotExported},
});

static_assert(Rows.size() == ItemCount, "one catalogue row per item");

constexpr bool RowsInItemOrder()
{
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        if (Rows[i].Item != static_cast<TItem>(i))
            return false;
    }
    return true;
}
static_assert(RowsInItemOrder(), "catalogue rows follow TItem order");

} // namespace

const std::array<TItemRow, ItemCount>& ItemCatalogue()
{
    return Rows;
}

const TItemRow& ItemRow(TItem item)
{
    return Rows.at(static_cast<std::size_t>(item));
}

const TItemRow* FindItemRow(std::string_view tagName)
{
    const auto found = std::find_if(Rows.begin(), Rows.end(), [&](const TItemRow& row) {
        return EqualsFolded(row.TagName, tagName);
    });
    return found == Rows.end() ? nullptr : &*found;
}

std::string ItemDescription(TItem item)
{
    return ItemRow(item).Help();
}

} // namespace statlume
