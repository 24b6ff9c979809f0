// TKMean: k-means clustering (Lloyd's iteration) of 24-bit colours.
//
// The clustering works on the distinct colours added, each weighted by how often it
// was added, and on any number of centroids, each fixed or movable. A colour's
// distance to a centroid is the Euclidean distance in (B, G, R) times its count, so
// the count never changes which centroid is nearest but does weigh in the means.
// Centres and sums are single-precision colour vectors; distances are doubles.

#ifndef QUILL_CORE_KMEAN_H_
#define QUILL_CORE_KMEAN_H_

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ColorVector.h"
#include "ZelColor.h"

namespace quill {

struct TKMeanColor {
  TZelRGB Color;
  int32_t Cluster = 0;  // the index of the centroid the colour belongs to
  int32_t Count = 0;    // how many times the colour was added
};

struct TKMeanCentroid {
  TColorVector Centre;
  TColorVector Sums;  // the count-weighted sum of the cluster's colours, from the last Iterate
  int32_t Total = 0;  // the number of colours (with repeats) in the cluster, from the last Iterate
  uint8_t Movable = 0;
};

}  // namespace quill

class TKMean {
 public:
  // Reserves room for the colours and centroids expected; either list grows as needed.
  TKMean(int32_t colorCapacity, int32_t centroidCapacity);

  // Counts the colour of bits 0-23 of Color: a new colour is appended in cluster 0
  // with count 1, a known one gains 1 in its count.
  void AddColor(uint32_t color);

  // Appends a centroid centred on Color.
  void AddCentroid(bool movable, uint32_t color);

  int32_t ColorCount() const { return static_cast<int32_t>(FColors.size()); }
  int32_t CentroidCount() const { return static_cast<int32_t>(FCentroids.size()); }

  // Copies of the records; an index out of range gives an empty record.
  quill::TKMeanColor GetColor(int32_t index) const;
  quill::TKMeanCentroid GetCentroid(int32_t index) const;

  // The index of the colour of bits 0-23 of Color, or -1 when it was never added.
  int32_t IndexOfColor(uint32_t color) const;

  // The distance in (B, G, R) from the colour to the centroid's centre, times the
  // colour's count. Both indices must be in range.
  double WeightedDistance(int32_t colorIndex, int32_t centroidIndex) const;

  // One Lloyd step; returns the number of reassignments.
  //  1. Every centroid's sums and total become 0.
  //  2. Each colour, in index order, moves to every later-visited centroid (in index
  //     order, skipping its current one) that is strictly nearer than the best so
  //     far, each move counting one reassignment; ties keep the colour where it is
  //     or with the earlier centroid. Its vector times its count then joins its
  //     cluster's sums, and its count the cluster's total.
  //  3. Each movable centroid with a total above 0 moves to sums / total; fixed
  //     centroids and empty clusters keep their centres.
  // Without centroids nothing happens and the result is 0.
  int32_t Iterate();

 private:
  std::vector<quill::TKMeanColor> FColors;
  std::vector<quill::TKMeanCentroid> FCentroids;
  std::unordered_map<uint32_t, int32_t> FIndexOfColor;  // packed colour -> index in FColors
};

#endif  // QUILL_CORE_KMEAN_H_
