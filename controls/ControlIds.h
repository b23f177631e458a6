// The control identifiers by which the program's logic finds the controls that the layout creates.
#pragma once

#include <cstdint>

namespace ControlId {

constexpr int32_t FileList = 100;
constexpr int32_t DeleteButton = 102;
constexpr int32_t DeleteAllButton = 103;
constexpr int32_t AddButton = 104;
constexpr int32_t BrowseButton = 105;
constexpr int32_t OutputFolder = 106;
constexpr int32_t Log = 108;
constexpr int32_t VolumeCheck = 110;
constexpr int32_t VolumePercent = 112;
constexpr int32_t VolumeDb = 115;
constexpr int32_t HeadCheck = 118;
constexpr int32_t HeadThreshold = 120;
constexpr int32_t HeadMargin = 123;
constexpr int32_t TailCheck = 125;
constexpr int32_t TailThreshold = 127;
constexpr int32_t TailMargin = 130;
constexpr int32_t Start = 132;
constexpr int32_t Stop = 133;

}  // namespace ControlId
