#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace sonfeld::ctdb {

// GF(2^16) with the field polynomial x^16 + x^12 + x^3 + x + 1 and alpha = 2.
namespace gf {
std::uint16_t Mul(std::uint16_t a, std::uint16_t b);
std::uint16_t Div(std::uint16_t a, std::uint16_t b); // b != 0
// alpha^e for any e (negative too).
std::uint16_t Exp(long long e);
int Log(std::uint16_t a); // a != 0
} // namespace gf

// One wrong symbol of a codeword: the coefficient of x^power, to be XORed with value.
struct RsError {
    int power = 0;
    std::uint16_t value = 0;
};

// Error locator of the syndromes S_0..S_{n-1} (Berlekamp-Massey), lowest
// degree first, Lambda(0) = 1.
std::vector<std::uint16_t> BerlekampMassey(const std::uint16_t* syndromes, int count);

// The powers in [0, length) where the locator has a root (Lambda(alpha^-e) = 0).
std::vector<int> ChienSearch(const std::vector<std::uint16_t>& locator, int length);

// Decodes a Reed-Solomon codeword of `length` symbols (powers 0..length-1)
// from its syndromes S_i = c(alpha^i), i = 0..count-1 (first root alpha^0):
// Berlekamp-Massey, Chien and Forney. Nothing when the syndromes are not
// those of at most count/2 errors inside the codeword. All zero: no errors.
std::optional<std::vector<RsError>> RsDecode(const std::uint16_t* syndromes, int count, int length);

// Syndromes S_0..S_{count-1} from systematic parity words p_0..p_{count-1}
// (highest degree first): S_i = sum_j p_j alpha^(-(j+1) i).
std::vector<std::uint16_t> ParityToSyndromes(const std::uint16_t* parity, int count);

} // namespace sonfeld::ctdb
