#include "X25519.h"

#include <cstddef>

namespace WgTool {

namespace {

// Field elements mod 2^255 - 19 in five limbs of 51 bits (limbs may run a few bits over
// between reductions).
using Wide = unsigned __int128;
struct Fe {
    uint64_t v[5];
};
constexpr uint64_t kMask = (uint64_t(1) << 51) - 1;

uint64_t Load64(const uint8_t* p) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = value << 8 | p[i];
    }
    return value;
}

Fe FromBytes(const Key& s) {
    return Fe{{Load64(&s[0]) & kMask, (Load64(&s[6]) >> 3) & kMask, (Load64(&s[12]) >> 6) & kMask,
               (Load64(&s[19]) >> 1) & kMask, (Load64(&s[24]) >> 12) & kMask}};
}

void Carry(Fe& h) {
    for (int i = 0; i < 4; ++i) {
        h.v[i + 1] += h.v[i] >> 51;
        h.v[i] &= kMask;
    }
    const uint64_t over = h.v[4] >> 51;
    h.v[4] &= kMask;
    h.v[0] += over * 19;
}

Fe Add(const Fe& a, const Fe& b) {
    Fe r;
    for (int i = 0; i < 5; ++i) {
        r.v[i] = a.v[i] + b.v[i];
    }
    return r;
}

// a - b, kept positive by adding 2p; b's limbs are at most 52 bits.
Fe Sub(const Fe& a, const Fe& b) {
    Fe r;
    r.v[0] = a.v[0] + 0xfffffffffffdaULL - b.v[0];
    for (int i = 1; i < 5; ++i) {
        r.v[i] = a.v[i] + 0xffffffffffffeULL - b.v[i];
    }
    return r;
}

Fe Reduce(Wide t[5]);

Fe Mul(const Fe& a, const Fe& b) {
    const uint64_t b1 = b.v[1] * 19, b2 = b.v[2] * 19, b3 = b.v[3] * 19, b4 = b.v[4] * 19;
    const Wide a0 = a.v[0], a1 = a.v[1], a2 = a.v[2], a3 = a.v[3], a4 = a.v[4];
    Wide t[5];
    t[0] = a0 * b.v[0] + a1 * b4 + a2 * b3 + a3 * b2 + a4 * b1;
    t[1] = a0 * b.v[1] + a1 * b.v[0] + a2 * b4 + a3 * b3 + a4 * b2;
    t[2] = a0 * b.v[2] + a1 * b.v[1] + a2 * b.v[0] + a3 * b4 + a4 * b3;
    t[3] = a0 * b.v[3] + a1 * b.v[2] + a2 * b.v[1] + a3 * b.v[0] + a4 * b4;
    t[4] = a0 * b.v[4] + a1 * b.v[3] + a2 * b.v[2] + a3 * b.v[1] + a4 * b.v[0];
    return Reduce(t);
}

// The sums of Mul and its carries, reduced to limbs of 51 bits (the first two a little over).
Fe Reduce(Wide t[5]) {
    Fe r;
    for (int i = 0; i < 4; ++i) {
        t[i + 1] += t[i] >> 51;
        r.v[i] = static_cast<uint64_t>(t[i]) & kMask;
    }
    r.v[4] = static_cast<uint64_t>(t[4]) & kMask;
    const Wide first = Wide(r.v[0]) + (t[4] >> 51) * 19;
    r.v[0] = static_cast<uint64_t>(first) & kMask;
    r.v[1] += static_cast<uint64_t>(first >> 51);
    return r;
}

// Mul(a, a) with the equal products taken once: 15 products instead of 25.
Fe Square(const Fe& a) {
    const Wide a0 = a.v[0], a1 = a.v[1], a2 = a.v[2], a3 = a.v[3], a4 = a.v[4];
    const uint64_t a3x19 = a.v[3] * 19, a4x19 = a.v[4] * 19;
    Wide t[5];
    t[0] = a0 * a0 + 2 * (a1 * a4x19 + a2 * a3x19);
    t[1] = 2 * (a0 * a1 + a2 * a4x19) + a3 * a3x19;
    t[2] = 2 * (a0 * a2 + a3 * a4x19) + a1 * a1;
    t[3] = 2 * (a0 * a3 + a1 * a2) + a4 * a4x19;
    t[4] = 2 * (a0 * a4 + a1 * a3) + a2 * a2;
    return Reduce(t);
}

// a times a small number (below 2^32): Mul of a number with one limb.
Fe MulSmall(const Fe& a, uint64_t small) {
    Wide t[5];
    for (int i = 0; i < 5; ++i) {
        t[i] = Wide(a.v[i]) * small;
    }
    return Reduce(t);
}

// a squared n times.
Fe SquareTimes(Fe a, int n) {
    for (int i = 0; i < n; ++i) {
        a = Square(a);
    }
    return a;
}

// a^(p-2) = 1/a, p - 2 = 2^255 - 21: 254 squarings and 11 multiplications.
Fe Invert(const Fe& a) {
    const Fe a2 = Square(a);
    const Fe a9 = Mul(SquareTimes(a2, 2), a);
    const Fe a11 = Mul(a9, a2);
    const Fe e5 = Mul(Square(a11), a9);            // a^(2^5 - 1)
    const Fe e10 = Mul(SquareTimes(e5, 5), e5);    // a^(2^10 - 1)
    const Fe e20 = Mul(SquareTimes(e10, 10), e10); // a^(2^20 - 1)
    const Fe e40 = Mul(SquareTimes(e20, 20), e20);
    const Fe e50 = Mul(SquareTimes(e40, 10), e10);
    const Fe e100 = Mul(SquareTimes(e50, 50), e50);
    const Fe e200 = Mul(SquareTimes(e100, 100), e100);
    const Fe e250 = Mul(SquareTimes(e200, 50), e50);
    return Mul(SquareTimes(e250, 5), a11); // a^(2^255 - 32 + 11)
}

void Swap(Fe& a, Fe& b, uint64_t swap) {
    const uint64_t mask = 0 - swap;
    for (int i = 0; i < 5; ++i) {
        const uint64_t x = mask & (a.v[i] ^ b.v[i]);
        a.v[i] ^= x;
        b.v[i] ^= x;
    }
}

Key ToBytes(Fe h) {
    Carry(h);
    Carry(h);
    Carry(h);
    // h is below 2^255 + 19 now: take p off once when h >= p.
    uint64_t q = (h.v[0] + 19) >> 51;
    for (int i = 1; i < 5; ++i) {
        q = (h.v[i] + q) >> 51;
    }
    h.v[0] += 19 * q;
    for (int i = 0; i < 4; ++i) {
        h.v[i + 1] += h.v[i] >> 51;
        h.v[i] &= kMask;
    }
    h.v[4] &= kMask;
    const uint64_t words[4] = {h.v[0] | h.v[1] << 51, h.v[1] >> 13 | h.v[2] << 38,
                               h.v[2] >> 26 | h.v[3] << 25, h.v[3] >> 39 | h.v[4] << 12};
    Key out{};
    for (int w = 0; w < 4; ++w) {
        for (int i = 0; i < 8; ++i) {
            out[static_cast<size_t>(8 * w + i)] = static_cast<uint8_t>(words[w] >> (8 * i));
        }
    }
    return out;
}

} // namespace

Key X25519(const Key& scalar, const Key& point) {
    Key k = scalar;
    k[0] &= 248;
    k[31] &= 127;
    k[31] |= 64;
    const Fe x1 = FromBytes(point);
    Fe x2{{1, 0, 0, 0, 0}};
    Fe z2{{0, 0, 0, 0, 0}};
    Fe x3 = x1;
    Fe z3{{1, 0, 0, 0, 0}};
    uint64_t swap = 0;
    // The Montgomery ladder of RFC 7748, section 5.
    for (int t = 254; t >= 0; --t) {
        const uint64_t bit = (k[static_cast<size_t>(t >> 3)] >> (t & 7)) & 1;
        swap ^= bit;
        Swap(x2, x3, swap);
        Swap(z2, z3, swap);
        swap = bit;
        const Fe a = Add(x2, z2);
        const Fe aa = Square(a);
        const Fe b = Sub(x2, z2);
        const Fe bb = Square(b);
        const Fe e = Sub(aa, bb);
        const Fe c = Add(x3, z3);
        const Fe d = Sub(x3, z3);
        const Fe da = Mul(d, a);
        const Fe cb = Mul(c, b);
        x3 = Square(Add(da, cb));
        z3 = Mul(x1, Square(Sub(da, cb)));
        x2 = Mul(aa, bb);
        z2 = Mul(e, Add(aa, MulSmall(e, 121665)));
    }
    Swap(x2, x3, swap);
    Swap(z2, z3, swap);
    return ToBytes(Mul(x2, Invert(z2)));
}

Key PublicKey(const Key& privateKey) {
    Key basePoint{};
    basePoint[0] = 9;
    return X25519(privateKey, basePoint);
}

} // namespace WgTool
