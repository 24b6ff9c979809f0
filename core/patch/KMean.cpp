#include "KMean.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kColorBits = 0xFFFFFF;

void AddVector(quill::TColorVector& sum, const quill::TColorVector& v) {
  sum.B += v.B;
  sum.G += v.G;
  sum.R += v.R;
}

float Mean(float sum, int32_t total) {
  return static_cast<float>(static_cast<double>(sum) / total);
}

}  // namespace

TKMean::TKMean(int32_t colorCapacity, int32_t centroidCapacity) {
  FColors.reserve(std::max(colorCapacity, 0));
  FCentroids.reserve(std::max(centroidCapacity, 0));
  FIndexOfColor.reserve(std::max(colorCapacity, 0));
}

void TKMean::AddColor(uint32_t color) {
  color &= kColorBits;
  const auto [entry, added] = FIndexOfColor.try_emplace(color, ColorCount());
  if (added) {
    FColors.push_back({quill::UnpackColor(color), 0, 1});
  } else {
    ++FColors[entry->second].Count;
  }
}

void TKMean::AddCentroid(bool movable, uint32_t color) {
  quill::TKMeanCentroid centroid;
  PackedColorToVector(color, centroid.Centre);
  centroid.Movable = movable ? 1 : 0;
  FCentroids.push_back(centroid);
}

quill::TKMeanColor TKMean::GetColor(int32_t index) const {
  return index >= 0 && index < ColorCount() ? FColors[index] : quill::TKMeanColor{};
}

quill::TKMeanCentroid TKMean::GetCentroid(int32_t index) const {
  return index >= 0 && index < CentroidCount() ? FCentroids[index] : quill::TKMeanCentroid{};
}

int32_t TKMean::IndexOfColor(uint32_t color) const {
  const auto entry = FIndexOfColor.find(color & kColorBits);
  return entry == FIndexOfColor.end() ? -1 : entry->second;
}

double TKMean::WeightedDistance(int32_t colorIndex, int32_t centroidIndex) const {
  const quill::TKMeanColor& c = FColors[colorIndex];
  const quill::TColorVector& centre = FCentroids[centroidIndex].Centre;
  const double db = static_cast<double>(c.Color.B) - centre.B;
  const double dg = static_cast<double>(c.Color.G) - centre.G;
  const double dr = static_cast<double>(c.Color.R) - centre.R;
  return std::sqrt(db * db + dg * dg + dr * dr) * c.Count;
}

int32_t TKMean::Iterate() {
  if (FCentroids.empty()) return 0;
  for (quill::TKMeanCentroid& centroid : FCentroids) {
    centroid.Sums = {};
    centroid.Total = 0;
  }
  int32_t reassigned = 0;
  for (int32_t i = 0; i < ColorCount(); ++i) {
    quill::TKMeanColor& colour = FColors[i];
    double best = WeightedDistance(i, colour.Cluster);
    for (int32_t k = 0; k < CentroidCount(); ++k) {
      if (k == colour.Cluster) continue;
      const double distance = WeightedDistance(i, k);
      if (distance < best) {
        colour.Cluster = k;
        best = distance;
        ++reassigned;
      }
    }
    quill::TColorVector vector, weighted;
    ColorToVector(colour.Color.R, colour.Color.G, colour.Color.B, vector);
    ScaleVector(vector, weighted, colour.Count);
    quill::TKMeanCentroid& cluster = FCentroids[colour.Cluster];
    AddVector(cluster.Sums, weighted);
    cluster.Total += colour.Count;
  }
  for (quill::TKMeanCentroid& centroid : FCentroids) {
    if (centroid.Movable == 0 || centroid.Total <= 0) continue;
    centroid.Centre = {Mean(centroid.Sums.B, centroid.Total), Mean(centroid.Sums.G, centroid.Total),
                       Mean(centroid.Sums.R, centroid.Total)};
  }
  return reassigned;
}
