#include "ctdb_code.h"

#include <vector>

namespace sonfeld::ctdb {

namespace gf {

namespace {

constexpr std::size_t kOrder = 65535;
constexpr std::uint32_t kFieldPolynomial = 0x1100B;

struct Tables {
    std::vector<std::uint16_t> exp; // 2 * kOrder, so that exp[log a + log b] needs no modulo
    std::vector<int> log;
    Tables() : exp(2 * kOrder), log(kOrder + 1, 0)
    {
        std::uint32_t x = 1;
        for (std::size_t i = 0; i < kOrder; ++i) {
            exp[i] = static_cast<std::uint16_t>(x);
            exp[i + kOrder] = static_cast<std::uint16_t>(x);
            log[x] = static_cast<int>(i);
            x <<= 1;
            if (x & 0x10000u)
                x ^= kFieldPolynomial;
        }
    }
};

const Tables& T()
{
    static const Tables tables;
    return tables;
}

} // namespace

std::uint16_t Mul(std::uint16_t a, std::uint16_t b)
{
    if (a == 0 || b == 0)
        return 0;
    const Tables& t = T();
    return t.exp[static_cast<std::size_t>(t.log[a]) + static_cast<std::size_t>(t.log[b])];
}

std::uint16_t Div(std::uint16_t a, std::uint16_t b)
{
    if (a == 0)
        return 0;
    const Tables& t = T();
    return t.exp[static_cast<std::size_t>(t.log[a]) + kOrder - static_cast<std::size_t>(t.log[b])];
}

std::uint16_t Exp(long long e)
{
    constexpr auto order = static_cast<long long>(kOrder);
    e %= order;
    if (e < 0)
        e += order;
    return T().exp[static_cast<std::size_t>(e)];
}

int Log(std::uint16_t a)
{
    return T().log[a];
}

} // namespace gf

namespace {

std::uint16_t Evaluate(const std::vector<std::uint16_t>& poly, std::uint16_t x)
{
    std::uint16_t value = 0;
    for (std::size_t i = poly.size(); i-- > 0;)
        value = static_cast<std::uint16_t>(gf::Mul(value, x) ^ poly[i]);
    return value;
}

int Degree(const std::vector<std::uint16_t>& poly)
{
    for (std::size_t i = poly.size(); i-- > 0;)
        if (poly[i] != 0)
            return static_cast<int>(i);
    return -1;
}

} // namespace

std::vector<std::uint16_t> BerlekampMassey(const std::uint16_t* s, int count)
{
    std::vector<std::uint16_t> lambda(static_cast<std::size_t>(count) + 1, 0);
    std::vector<std::uint16_t> previous(lambda.size(), 0);
    lambda[0] = previous[0] = 1;
    int length = 0;
    int shift = 1;
    std::uint16_t previousDiscrepancy = 1;
    for (int n = 0; n < count; ++n) {
        std::uint16_t d = s[n];
        for (int i = 1; i <= length; ++i)
            d ^= gf::Mul(lambda[static_cast<std::size_t>(i)], s[n - i]);
        if (d == 0) {
            ++shift;
            continue;
        }
        const std::uint16_t factor = gf::Div(d, previousDiscrepancy);
        std::vector<std::uint16_t> before = lambda;
        for (std::size_t i = 0; i + static_cast<std::size_t>(shift) < lambda.size(); ++i)
            lambda[i + static_cast<std::size_t>(shift)] ^= gf::Mul(factor, previous[i]);
        if (2 * length <= n) {
            length = n + 1 - length;
            previous = std::move(before);
            previousDiscrepancy = d;
            shift = 1;
        } else {
            ++shift;
        }
    }
    lambda.resize(static_cast<std::size_t>(length) + 1);
    return lambda;
}

std::vector<int> ChienSearch(const std::vector<std::uint16_t>& locator, int length)
{
    std::vector<int> roots;
    const int degree = Degree(locator);
    if (degree <= 0)
        return roots;
    if (degree == 1) {
        // Lambda = 1 + X z: the root is z = X^-1, so e = log X.
        const int e = gf::Log(gf::Div(locator[1], locator[0]));
        if (e < length)
            roots.push_back(e);
        return roots;
    }
    // term[j] = lambda_j * alpha^(-j e), stepped one e at a time.
    std::vector<std::uint16_t> term(locator.begin(), locator.begin() + degree + 1);
    std::vector<std::uint16_t> step(term.size());
    for (int j = 0; j <= degree; ++j)
        step[static_cast<std::size_t>(j)] = gf::Exp(-j);
    for (int e = 0; e < length; ++e) {
        std::uint16_t sum = 0;
        for (const std::uint16_t t : term)
            sum ^= t;
        if (sum == 0) {
            roots.push_back(e);
            if (static_cast<int>(roots.size()) == degree)
                break;
        }
        for (std::size_t j = 1; j < term.size(); ++j)
            term[j] = gf::Mul(term[j], step[j]);
    }
    return roots;
}

std::optional<std::vector<RsError>> RsDecode(const std::uint16_t* s, int count, int length)
{
    std::vector<RsError> errors;
    bool any = false;
    for (int i = 0; i < count; ++i)
        any = any || s[i] != 0;
    if (!any)
        return errors;
    const std::vector<std::uint16_t> lambda = BerlekampMassey(s, count);
    const int degree = Degree(lambda);
    if (degree <= 0 || 2 * degree > count)
        return std::nullopt;
    const std::vector<int> roots = ChienSearch(lambda, length);
    if (static_cast<int>(roots.size()) != degree)
        return std::nullopt;
    // Omega = S(z) Lambda(z) mod z^count.
    std::vector<std::uint16_t> omega(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; ++i)
        for (int j = 0; j <= degree && i + j < count; ++j)
            omega[static_cast<std::size_t>(i) + static_cast<std::size_t>(j)] ^=
                gf::Mul(s[i], lambda[static_cast<std::size_t>(j)]);
    // Formal derivative: only the odd powers remain.
    std::vector<std::uint16_t> derivative(static_cast<std::size_t>(degree), 0);
    for (int j = 1; j <= degree; j += 2)
        derivative[static_cast<std::size_t>(j - 1)] = lambda[static_cast<std::size_t>(j)];
    for (const int e : roots) {
        const std::uint16_t x = gf::Exp(e);
        const std::uint16_t xInverse = gf::Exp(-e);
        const std::uint16_t denominator = Evaluate(derivative, xInverse);
        if (denominator == 0)
            return std::nullopt;
        const std::uint16_t value = gf::Mul(x, gf::Div(Evaluate(omega, xInverse), denominator));
        if (value == 0)
            return std::nullopt;
        errors.push_back({e, value});
    }
    return errors;
}

std::vector<std::uint16_t> ParityToSyndromes(const std::uint16_t* parity, int count)
{
    std::vector<std::uint16_t> syndromes(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            syndromes[static_cast<std::size_t>(i)] ^=
                gf::Mul(parity[j], gf::Exp(-static_cast<long long>(j + 1) * i));
    return syndromes;
}

} // namespace sonfeld::ctdb
