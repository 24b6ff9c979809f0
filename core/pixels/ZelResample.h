// Separable resampling of 24-bit images through a kernel, and the size routines of
// resizing: proportional sides and the fit of a size into a box.
//
// The kernel is evaluated only while the contributor tables are built; the pixel
// passes are integer multiply-adds with weights in units of 1/256, exact in any
// order, so the vector passes give the same bytes as the plain ones.

#ifndef QUILL_CORE_ZELRESAMPLE_H_
#define QUILL_CORE_ZELRESAMPLE_H_

#include <cstdint>
#include <vector>

#include "ZelBitmap.h"
#include "ZelTypes.h"

// A resampling kernel.
class TPixelResampler {
 public:
  virtual ~TPixelResampler() = default;
  // Whether the kernel has negative lobes, so that results must be clamped to 0..255.
  virtual bool NeedsClamping() const { return false; }
  virtual double Filter(double x) const = 0;
  // The support half-width of the kernel.
  virtual double GetRadius() const = 0;
};

// A sinc kernel shaped by a window, zero from its radius on.
class TWindowedSincResampler : public TPixelResampler {
 public:
  bool NeedsClamping() const override { return true; }
  double Filter(double x) const override;
  double GetRadius() const override { return FRadius; }
  virtual double Window(double x) const = 0;

 protected:
  double FRadius = 3.0;
};

// The Lanczos kernel of radius 3: sinc windowed by the stretched sinc.
class TLanczosResampler : public TWindowedSincResampler {
 public:
  double Window(double x) const override;
};

// 1 at 0, else sin(pi x) / (pi x), with pi in extended precision.
double Sinc(double x);

namespace quill {

// One source index and its weight in units of 1/256.
struct TContributor {
  int32_t Pos;
  int32_t Weight;
};
using TContributorList = std::vector<TContributor>;

}  // namespace quill

// One list for each destination index from ClipLo to ClipHi - 1, mapping the
// destination range DstLo..DstHi onto the source range SrcLo..SrcHi. Every list adds up
// to exactly 256 and holds only positions inside SrcLo..SrcHi - 1. An empty source
// range gives no lists; so does an empty destination range (callers never pass one;
// debug builds assert), unless it has exactly one list.
std::vector<quill::TContributorList> BuildContributors(int32_t dstLo, int32_t dstHi, int32_t clipLo,
                                                int32_t clipHi, int32_t srcLo, int32_t srcHi,
                                                const TPixelResampler& resampler);

namespace quill {

// The pixel passes ResamplePixels runs: Fastest takes the vector passes where the
// processor has AVX2 (and every row weight fits 16 bits), Plain the plain loops. Both
// give the same bytes; tests and benchmarks compare them. Fastest unless set.
enum class TResamplePasses { Fastest, Plain };
void SetResamplePasses(TResamplePasses passes);

}  // namespace quill

// Maps SourceRect of Source onto DestRect of Dest, writing only the Dest pixels inside
// Dest's bounds and DestClip. Both views must be 24-bit (B, G, R) and SourceRect must lie
// inside Source's bounds; otherwise nothing is written.
void ResamplePixels(TZelPixels& dest, const quill::TRect& destRect, const quill::TRect& destClip,
                    const TZelPixels& source, const quill::TRect& sourceRect,
                    const TPixelResampler& resampler);

// The largest size with the proportions of Width x Height that fits MaxWidth x MaxHeight,
// one side touching the box. False, with nothing set, when any of the four is not positive.
bool ScaleToFit(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight,
                int32_t& newWidth, int32_t& newHeight);

// The width that keeps Width x Height's proportions at NewHeight, and the converse.
int32_t ProportionalWidth(int32_t width, int32_t newHeight, int32_t height);
int32_t ProportionalHeight(int32_t height, int32_t newWidth, int32_t width);

// Value below Min gives Min, else above Max gives Max.
int32_t ClampInt(int32_t value, int32_t min, int32_t max);

#endif  // QUILL_CORE_ZELRESAMPLE_H_
