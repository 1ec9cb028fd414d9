#pragma once

#include <string>
#include <string_view>

#include "collect/drive_map.h"
#include "record/figures_beyond.h"
#include "record/raw_data.h"

namespace statlume {

/// What one scrape reports: a copy of the snapshot taken on the collection tick.
struct TMetricsSnapshot
{
    /// The record as collected or received.
    TRawData Data;
    /// Data holds figures (a first collection, or a record received, has happened).
    bool HasRecord = false;
    /// 1 for statlume_up: always in a local run; in a client, while the server answers.
    bool Up = true;
    /// Mount points of the drive letters, for the filesystem series' labels; empty in a
    /// client, which does not know the server's.
    TDriveMap Mounts;
    /// The figures beyond the record (whole disks, batteries); empty in a client.
    TFiguresBeyond Beyond;
};

/// The content type of the text exposition.
inline constexpr std::string_view ExpositionContentType =
    "text/plain; version=0.0.4; charset=utf-8";

/// The Prometheus text exposition (format 0.0.4) of the snapshot: statlume_up and
/// statlume_build_info{version} always; the figures (processor, network, uptime, processes,
/// threads, memory from the 40-bit counts, drives, sensors, and the whole disks, batteries and GPUs
/// beyond the record when collected) only while HasRecord and Up.
/// Base units (bytes, seconds, ratios), one HELP and TYPE per family, label values escaped.
std::string RenderExposition(const TMetricsSnapshot& snapshot, std::string_view version);

} // namespace statlume
