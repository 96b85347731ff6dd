#pragma once
// The way a pushed aircraft takes, tail first, from where it stands to where its reports
// show the push ended, reaching that place along the line the aircraft stood on there (the
// reported swing).
#include <cstddef>
#include <vector>

#include "traffic/ground_path.h"

// reports: those behind, the one reached (at front) and those ahead, in the path's frame,
// whose origin is the aircraft; the last is where the push ends when it is at rest, else the
// farthest the push is known to go. tailHeading: radians, the way the tail points now;
// leastRadiusM: the tightest turn a push takes. Every report gets its station; those up to
// front lie at 0.
void gf_layPushPath(const std::vector<PathReport>& reports, size_t front, double tailHeading, double leastRadiusM,
                    GroundPath& path);
