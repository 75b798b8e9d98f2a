// The comparison lines every benchmark prints beside its peers, one format
// for all, so that scripts/bench.sh gathers them into one table:
//
//   peer: <what>; orvex <ours> <unit>; <peer> <theirs> <unit>; ratio <r>
//
// The ratio says how many times as good our figure is (above 1: ours is
// better): ours / theirs for rates (higher is better), theirs / ours for
// seconds and memory (lower is better). A peer that is missing on this
// machine (theirs < 0) gets "missing" instead of its figure and no ratio.
#pragma once

#include <cstdio>
#include <string>

namespace orvex::bench {

enum class Better { kHigher, kLower };

inline void ReportPeer(const std::string& what, double ours, const std::string& peer, double theirs,
                       const char* unit, Better better = Better::kHigher) {
  if (theirs < 0 || ours <= 0) {
    std::printf("peer: %s; orvex %.4g %s; %s missing\n", what.c_str(), ours, unit, peer.c_str());
    return;
  }
  const double ratio = better == Better::kHigher ? ours / theirs : theirs / ours;
  std::printf("peer: %s; orvex %.4g %s; %s %.4g %s; ratio %.2f\n", what.c_str(), ours, unit,
              peer.c_str(), theirs, unit, ratio);
}

}  // namespace orvex::bench
