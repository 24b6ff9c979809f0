#include "LeastSquaresMethod.h"

#include <algorithm>
#include <cassert>

#include "apGenLeastSq.h"

TLSM::TLSM(int capacity, int terms)
    : FTerms(terms),
      FValues(std::max(capacity, 0), 0.0),
      FRows(std::max(capacity, 0), std::max(terms, 0)),
      FWeights(std::max(capacity, 0), 0.0),
      FCoefficients(std::max(terms, 0), 0.0) {}

void TLSM::AddRow(const double* basis, double weight) {
  assert(static_cast<size_t>(FCount) < FWeights.size() && "TLSM capacity exceeded");
  if (static_cast<size_t>(FCount) >= FWeights.size()) return;
  for (int p = 0; p < FTerms; ++p) FRows(FCount, p) = basis[p];
  FWeights[FCount] = weight;
  ++FCount;
}

void TLSM::SetValues(const double* y) { std::copy(y, y + FCount, FValues.begin()); }

bool TLSM::Solve() {
  if (FSvdCount != FCount) {
    FSvd = quill::DecomposeSvd(quill::BuildNormalMatrix(FWeights.data(), FRows, FTerms, FCount), FTerms, FTerms);
    FSvdCount = FCount;
  }
  std::vector<double> x;
  const bool ok = quill::SolveDecomposed(
      *FSvd, quill::NormalRightHandSide(FValues.data(), FWeights.data(), FRows, FTerms, FCount), x);
  std::copy(x.begin() + 1, x.end(), FCoefficients.begin());
  return ok;
}

void TLSM::GetCoefficients(double* c) const {
  std::copy(FCoefficients.begin(), FCoefficients.end(), c);
}
