// SPDX-License-Identifier: Apache-2.0
// Addition and subtraction of records sharing precision and scale, whose
// digit bytes line up and take the short way, against the same sums with
// the second operand held in another layout (two more or two fewer zero
// digits), which take the general way: status and all 48 bytes agree.
#include "rdx_numeric.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Random {
    std::mt19937_64 engine{20261207};
    int operator()(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(engine);
    }
    // Digits lean to 0 and 9, so that carries run far and sums overflow;
    // one in 200 is not a digit at all.
    uint8_t Nibble() {
        const int pick = (*this)(0, 199);
        if (pick == 0) return static_cast<uint8_t>((*this)(10, 15));
        return static_cast<uint8_t>(pick % 4 == 0 ? 9 * (pick % 8 / 4) : (*this)(0, 9));
    }
};

// A record of precision p and scale s holding the half-bytes given; the
// bytes after them (and the unused half of an odd precision) hold
// `rest`, which no operation may read.
RDNumeric Make(int p, int s, const std::vector<uint8_t> &nibbles, uint8_t sign, uint8_t rest) {
    RDNumeric n;
    EXPECT_EQ(0u, RDNumericCreate(&n, static_cast<uint32_t>(p), s));
    std::memset(n.digits, rest, sizeof n.digits);
    for (int i = 0; i < p; ++i) {
        uint8_t &pair = n.digits[i / 2];
        pair = i % 2 == 0 ? static_cast<uint8_t>(nibbles[i] << 4 | (pair & 0x0F))
                          : static_cast<uint8_t>((pair & 0xF0) | nibbles[i]);
    }
    n.sign = sign;
    return n;
}

using Operation = uint32_t (*)(RDNumeric *, RDNumeric *, RDNumeric *);

TEST(NumericLayout, LinedUpRecordsSumAsInTheGeneralWay) {
    Random random;
    int compared = 0;
    for (int p = 0; p <= 88; ++p)
        for (int s = std::max(-127, p - 127); s <= 127; ++s)
            for (int round = 0; round < 3; ++round) {
                // The other layout of b: two leading zeros, two trailing
                // zeros (scale + 2), or, at the largest precisions, two
                // leading zeros fewer.
                const bool lead = p + 2 <= 88 && s - p - 2 >= -127;
                const bool trail = !lead && p + 2 <= 88;
                std::vector<uint8_t> a(p), b(p), r(p);
                for (int i = 0; i < p; ++i) {
                    a[i] = round == 0 ? 9 : random.Nibble();
                    b[i] = !lead && !trail && i < 2 ? 0 : random.Nibble();
                    r[i] = static_cast<uint8_t>(random(0, 15));
                }
                std::vector<uint8_t> wide = b;
                int wideP = p + 2, wideS = s;
                if (lead) {
                    wide.insert(wide.begin(), 2, 0);
                } else if (trail) {
                    wide.insert(wide.end(), 2, 0);
                    wideS = s + 2;
                } else {
                    wide.erase(wide.begin(), wide.begin() + 2);
                    wideP = p - 2;
                }
                const auto signA = static_cast<uint8_t>(random(0, 1));
                const auto signB = static_cast<uint8_t>(random(0, 1));
                const auto rest = static_cast<uint8_t>(round == 2 ? random(0, 255) : 0);
                RDNumeric x = Make(p, s, a, signA, rest), y = Make(p, s, b, signB, rest);
                RDNumeric other = Make(wideP, wideS, wide, signB, 0);
                for (Operation op : {&RDNumericAdd, &RDNumericSubtract}) {
                    RDNumeric fast = Make(p, s, r, 0, rest), general = fast;
                    const uint32_t status = op(&fast, &x, &y);
                    ASSERT_EQ(op(&general, &x, &other), status) << p << "," << s;
                    ASSERT_EQ(0, std::memcmp(&fast, &general, sizeof fast)) << p << "," << s;
                    ++compared;
                }
            }
    EXPECT_GT(compared, 100000);
}

// The result may be one of the operands.
TEST(NumericLayout, ResultInPlaceOfAnOperand) {
    const std::vector<uint8_t> a(38, 9),
        b = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    RDNumeric x = Make(38, 8, a, 0, 0), y = Make(38, 8, b, 0, 0);
    RDNumeric same = x;
    EXPECT_EQ(12801u, RDNumericAdd(&same, &same, &y)); // all nines stay
    EXPECT_EQ(0, std::memcmp(&same, &x, sizeof x));
    EXPECT_EQ(0u, RDNumericSubtract(&same, &same, &y));
    EXPECT_EQ(0x98, same.digits[18]);
    EXPECT_EQ(0u, RDNumericSubtract(&same, &same, &same));
    EXPECT_EQ(0, same.sign);
    for (uint8_t byte : same.digits)
        EXPECT_EQ(0, byte);
}

} // namespace
