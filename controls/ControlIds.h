// The control identifiers that the layout gives the controls and by which the program's logic
// finds them. The child-window identifiers are another numbering (100 + construction order) and
// share some numbers with these.
#pragma once

#include <cstdint>

namespace ControlId {

constexpr int32_t FileListGroup = 1;
constexpr int32_t FileList = 100;
constexpr int32_t OutputGroup = 101;
constexpr int32_t DeleteButton = 102;
constexpr int32_t DeleteAllButton = 103;
constexpr int32_t AddButton = 104;
constexpr int32_t BrowseButton = 105;
constexpr int32_t OutputFolder = 106;
constexpr int32_t Log = 108;
constexpr int32_t VolumeGroup = 109;
constexpr int32_t VolumeCheck = 110;
constexpr int32_t VolumePercentLabel = 111;
constexpr int32_t VolumePercent = 112;
constexpr int32_t VolumePercentArrows = 113;
constexpr int32_t VolumeDbLabel = 114;
constexpr int32_t VolumeDb = 115;
constexpr int32_t VolumeDbArrows = 116;
constexpr int32_t TrimGroup = 117;
constexpr int32_t HeadCheck = 118;
constexpr int32_t HeadThresholdLabel = 119;
constexpr int32_t HeadThreshold = 120;
constexpr int32_t HeadThresholdArrows = 121;
constexpr int32_t HeadMarginLabel = 122;
constexpr int32_t HeadMargin = 123;
constexpr int32_t HeadMarginArrows = 124;
constexpr int32_t TailCheck = 125;
constexpr int32_t TailThresholdLabel = 126;
constexpr int32_t TailThreshold = 127;
constexpr int32_t TailThresholdArrows = 128;
constexpr int32_t TailMarginLabel = 129;
constexpr int32_t TailMargin = 130;
constexpr int32_t TailMarginArrows = 131;
constexpr int32_t Start = 132;
constexpr int32_t Stop = 133;

}  // namespace ControlId
