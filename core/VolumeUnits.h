// The value boxes' arithmetic, shared by the window and the command line: the clamp to a box's range
// and the link between the volume in percent and in decibels.
#pragma once

// A value below the minimum becomes the minimum, then one above the maximum the maximum.
float ClampToRange(float value, float minimum, float maximum);

// Each step is rounded to a float, so both boxes show the same digits on every build.
float PercentToDecibels(float percent);
float DecibelsToPercent(float decibels);
