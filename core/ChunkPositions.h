// Keeps the positions that other chunks hold (timecode, cue points, loops, region lengths, the
// frame count) pointing at the same audio after the first "data" chunk was trimmed.
#pragma once

#include "core/WaveFile.h"

#include <cstdint>
#include <memory>
#include <vector>

// How the audio moved: old frame p is now frame p - shift, and the chunk holds newFrames frames.
// The shift is negative when more silence was put in front than was cut there.
struct FrameMove {
    std::int64_t shift = 0;
    std::uint64_t newFrames = 0;
};

// Rewrites in place the "bext" time reference, the "cue " points, the "smpl" loops, the "ltxt"
// region lengths of a "LIST"/"adtl" chunk and the "fact" frame count. Positions that now fall
// outside the audio are clamped to it. A chunk too short for its fields, or whose counts do not
// fit its size or the bytes of it held in memory, is left as it is.
void MoveChunkPositions(const std::vector<std::shared_ptr<ChunkInfo>>& chunks, const FrameMove& move);
