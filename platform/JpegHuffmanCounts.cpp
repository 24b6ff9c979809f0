#include "JpegHuffmanCounts.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

// libjpeg's builder of optimal Huffman tables, which its optimised coding calls: exported
// by the library though its header does not declare it.
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

namespace quill {

namespace {

// Position in zigzag order of each coefficient in natural (row-major) order, and back.
constexpr std::array<uint8_t, 64> kZigzagOf = {
    0,  1,  5,  6,  14, 15, 27, 28, 2,  4,  7,  13, 16, 26, 29, 42, 3,  8,  12, 17, 25, 30,
    41, 43, 9,  11, 18, 24, 31, 40, 44, 53, 10, 19, 23, 32, 39, 45, 52, 54, 20, 22, 33, 38,
    46, 51, 55, 60, 21, 34, 37, 47, 50, 56, 59, 61, 35, 36, 48, 49, 57, 58, 62, 63};
constexpr std::array<uint8_t, 64> kNaturalOf = [] {
  std::array<uint8_t, 64> natural{};
  for (uint8_t k = 0; k < 64; ++k) natural[kZigzagOf[k]] = k;
  return natural;
}();

constexpr int kMaxDcBits = 11;
constexpr int kMaxAcBits = 10;

int BitLength(int value) { return static_cast<int>(std::bit_width(static_cast<unsigned>(std::abs(value)))); }

// Bit K set where coefficient K (natural order) is not zero. The flags are made a byte
// each, which compilers do many at once, and eight bytes of 0 or 1 are gathered into
// eight bits by one multiplication: byte I times the factor's term 2^(56 - 7 I) lands on
// bit 56 + I, and every other product on a bit of its own below it, so nothing carries.
uint64_t NonzeroMask(const JCOEF* block) {
  static_assert(std::endian::native == std::endian::little, "byte I of the word is the flag of coefficient I");
  std::array<uint8_t, 64> nonzero;
  for (size_t k = 0; k < 64; ++k) nonzero[k] = block[k] != 0;
  uint64_t mask = 0;
  for (size_t group = 0; group < 8; ++group) {
    uint64_t bytes;
    std::memcpy(&bytes, nonzero.data() + group * 8, sizeof bytes);
    mask |= (bytes * 0x0102040810204080) >> 56 << (group * 8);
  }
  return mask;
}

// Adds the symbols of Block, whose DC follows LastDc. False for a coefficient the
// writer cannot encode.
bool CountBlock(const JCOEF* block, int lastDc, std::array<long, 257>& dc, std::array<long, 257>& ac) {
  const int dcBits = BitLength(block[0] - lastDc);
  if (dcBits > kMaxDcBits) return false;
  ++dc[dcBits];
  uint64_t natural = NonzeroMask(block) & ~uint64_t{1};
  uint64_t zigzag = 0;
  for (; natural != 0; natural &= natural - 1) zigzag |= uint64_t{1} << kZigzagOf[std::countr_zero(natural)];
  int previous = 0;
  for (; zigzag != 0; zigzag &= zigzag - 1) {
    const int k = std::countr_zero(zigzag);
    int run = k - previous - 1;
    for (; run > 15; run -= 16) ++ac[0xF0];
    const int bits = BitLength(block[kNaturalOf[k]]);
    if (bits > kMaxAcBits) return false;
    ++ac[static_cast<size_t>(run << 4 | bits)];
    previous = k;
  }
  if (previous < 63) ++ac[0];  // end of block
  return true;
}

}  // namespace

bool CountHuffmanSymbols(const std::vector<TJpegScanComponent>& components, const TJpegBlockRowOf& row,
                         TJpegHuffmanCounts& counts) {
  counts.Dc.assign(components.size(), {});
  counts.Ac.assign(components.size(), {});
  if (components.size() == 1) {
    const TJpegScanComponent& only = components[0];
    int lastDc = 0;
    for (int64_t y = 0; y < only.BlocksDown; ++y) {
      const JBLOCK* blocks = row(0, y);
      if (blocks == nullptr) return false;
      for (int64_t x = 0; x < only.BlocksAcross; ++x) {
        if (!CountBlock(blocks[x], lastDc, counts.Dc[0], counts.Ac[0])) return false;
        lastDc = blocks[x][0];
      }
    }
    return true;
  }
  // The MCU grid: the component sampled most densely has the fewest blocks to spare.
  int64_t mcusAcross = 0, mcusDown = 0;
  for (const TJpegScanComponent& c : components) {
    mcusAcross = std::max(mcusAcross, (c.BlocksAcross + c.H - 1) / c.H);
    mcusDown = std::max(mcusDown, (c.BlocksDown + c.V - 1) / c.V);
  }
  std::vector<int> lastDc(components.size(), 0);
  // The block rows of the current MCU row, per component; null below the last one.
  std::vector<std::vector<const JBLOCK*>> rows(components.size());
  for (int64_t my = 0; my < mcusDown; ++my) {
    for (size_t c = 0; c < components.size(); ++c) {
      rows[c].assign(static_cast<size_t>(components[c].V), nullptr);
      for (int y = 0; y < components[c].V; ++y) {
        const int64_t r = my * components[c].V + y;
        if (r >= components[c].BlocksDown) continue;
        rows[c][static_cast<size_t>(y)] = row(c, r);
        if (rows[c][static_cast<size_t>(y)] == nullptr) return false;
      }
    }
    for (int64_t mx = 0; mx < mcusAcross; ++mx) {
      for (size_t c = 0; c < components.size(); ++c) {
        const TJpegScanComponent& component = components[c];
        for (const JBLOCK* blocks : rows[c]) {
          for (int64_t column = mx * component.H; column < (mx + 1) * component.H; ++column) {
            if (blocks == nullptr || column >= component.BlocksAcross) {
              // Padding: the DC of the block before, no AC.
              ++counts.Dc[c][0];
              ++counts.Ac[c][0];
              continue;
            }
            if (!CountBlock(blocks[column], lastDc[c], counts.Dc[c], counts.Ac[c])) return false;
            lastDc[c] = blocks[column][0];
          }
        }
      }
    }
  }
  return true;
}

void SetOptimalHuffmanTables(jpeg_compress_struct& writer, TJpegHuffmanCounts& counts) {
  std::array<std::array<long, 257>, NUM_HUFF_TBLS> dc{}, ac{};
  std::array<bool, NUM_HUFF_TBLS> dcUsed{}, acUsed{};
  for (int i = 0; i < writer.num_components; ++i) {
    const jpeg_component_info& component = writer.comp_info[i];
    for (size_t s = 0; s < 257; ++s) {
      dc[static_cast<size_t>(component.dc_tbl_no)][s] += counts.Dc[static_cast<size_t>(i)][s];
      ac[static_cast<size_t>(component.ac_tbl_no)][s] += counts.Ac[static_cast<size_t>(i)][s];
    }
    dcUsed[static_cast<size_t>(component.dc_tbl_no)] = acUsed[static_cast<size_t>(component.ac_tbl_no)] = true;
  }
  const auto build = [&writer](JHUFF_TBL*& table, std::array<long, 257>& frequencies) {
    if (table == nullptr) table = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&writer));
    jpeg_gen_optimal_table(&writer, table, frequencies.data());
  };
  for (size_t t = 0; t < NUM_HUFF_TBLS; ++t) {
    if (dcUsed[t]) build(writer.dc_huff_tbl_ptrs[t], dc[t]);
    if (acUsed[t]) build(writer.ac_huff_tbl_ptrs[t], ac[t]);
  }
  writer.optimize_coding = FALSE;
}

}  // namespace quill
