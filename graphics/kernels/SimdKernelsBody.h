#pragma once
// The vector kernels, written once over a small set of lane operations (O) and
// compiled once per instruction set (SimdSse2.cpp, SimdAvx2.cpp). Everything
// here is local to the including file, so nothing built for AVX2 can be picked
// by the linker for another file. Include only after the ops are defined; no
// standard-library templates are used, for the same reason.
//
// O provides: I (integer vector), F (float vector), N16 (16-bit lanes per
// vector), and the operations used below. Every pack and unpack works within
// 128-bit halves, so an unpack followed by the matching pack restores the order.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "SimdKernelsShared.h"

namespace {

// A compile-time yes or no (no standard-library templates here).
template <bool B> struct TFlag { static constexpr bool value = B; };

template <class O> struct TKernels {
  using I = typename O::I;
  using F = typename O::F;
  static constexpr int N16 = O::N16; // u16 lanes = bytes written per store
  static constexpr int N32 = N16 / 2;
  static constexpr int Px = N16 / 4; // pixels per 16-bit vector

  // ---- Box filter ----------------------------------------------------------

  // q[0 .. bytes) := the bytes of src widened to 16 bits.
  static void Widen(const uint8_t* src, uint16_t* q, ptrdiff_t bytes) {
    ptrdiff_t i = 0;
    for (; i + N16 <= bytes; i += N16)
      O::Store(q + i, O::LoadWidenU8(src + i));
    for (; i < bytes; ++i)
      q[i] = src[i];
  }

  // h[i] = sum of q[i + 4k], k < mw, for the lanes < lanes (a multiple of N16).
  // q is padded so that the reads past the row stay in the buffer.
  static void RowSums(const uint16_t* q, uint16_t* h, ptrdiff_t lanes, int mw) {
    if (mw <= Px || mw <= 4) {
      for (ptrdiff_t i = 0; i < lanes; i += N16) {
        I acc = O::Load(q + i);
        for (int k = 1; k < mw; ++k)
          acc = O::Add16(acc, O::Load(q + i + 4 * k));
        O::Store(h + i, acc);
      }
      return;
    }
    // Running sum: moving the window by Px pixels adds the Px columns that
    // enter and takes off the Px that leave (exact modulo 2^16, and the sums
    // stay below 2^16).
    I acc = O::Load(q);
    for (int k = 1; k < mw; ++k)
      acc = O::Add16(acc, O::Load(q + 4 * k));
    O::Store(h, acc);
    for (ptrdiff_t i = N16; i < lanes; i += N16) {
      const uint16_t* out = q + i - N16;
      const uint16_t* in = out + 4 * mw;
      I enter = O::Load(in), leave = O::Load(out);
      for (int j = 1; j < Px; ++j) {
        enter = O::Add16(enter, O::Load(in + 4 * j));
        leave = O::Add16(leave, O::Load(out + 4 * j));
      }
      // Kept as one value: folded into the running sum, the sixteen loads
      // would make one long chain of dependent additions.
      acc = O::Add16(acc, O::Opaque(O::Sub16(enter, leave)));
      O::Store(h + i, acc);
    }
  }

  // Rounded mean of 32-bit sums: nearest, halves to even. For odd n no sum
  // lies half-way, and the product with the single-precision reciprocal stays
  // closer to the exact quotient than 1 / (2n); for even n the division is
  // correctly rounded, so half-way quotients come out exact.
  template <bool Odd> static I Mean(I sum, F factor) {
    const F s = O::ToFloat(sum);
    return O::ToIntNearest(Odd ? O::MulF(s, factor) : O::DivF(s, factor));
  }

  template <bool Odd>
  static void Filter(uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax, int ay,
                     const TBoxScratch& sc, TBoxRowHook hook, void* ctx) {
    const ptrdiff_t lanes = ptrdiff_t(w) * 4;
    const ptrdiff_t padded = (lanes + N16 - 1) / N16 * N16;
    const ptrdiff_t spanBytes = ptrdiff_t(w + mw - 1) * 4;
    const int n = mw * mh;
    const F factor = O::SetF(Odd ? 1.0f / float(n) : float(n));
    const uint8_t* src0 = region - ptrdiff_t(ay) * step - ptrdiff_t(ax) * 4;
    uint16_t* q = sc.Widened;
    uint32_t* vs = sc.Columns;
    std::memset(vs, 0, size_t(padded) * sizeof(uint32_t));

    // Source row r (counted from the window's top) enters the ring once;
    // rows above the output row are overwritten later, their sums stay here.
    auto enter = [&](int r) -> const uint16_t* {
      uint16_t* slot = sc.Ring + ptrdiff_t(r % mh) * padded;
      Widen(src0 + ptrdiff_t(r) * step, q, spanBytes);
      RowSums(q, slot, padded, mw);
      return slot;
    };
    for (int r = 0; r < mh - 1; ++r) {
      const uint16_t* hs = enter(r);
      for (ptrdiff_t i = 0; i < padded; i += N16) {
        const I a = O::Load(hs + i);
        uint32_t* v = vs + i;
        O::Store(v, O::Add32(O::Load(v), O::WidenLo16(a)));
        O::Store(v + N32, O::Add32(O::Load(v + N32), O::WidenHi16(a)));
      }
    }
    for (int y = 0; y < h; ++y) {
      const uint16_t* hn = enter(y + mh - 1);
      const uint16_t* ho = sc.Ring + ptrdiff_t(y % mh) * padded;
      uint8_t* out = region + ptrdiff_t(y) * step;
      for (ptrdiff_t i = 0; i < padded; i += N16) {
        const I a = O::Load(hn + i);
        uint32_t* v = vs + i;
        const I lo = O::Add32(O::Load(v), O::WidenLo16(a));
        const I hi = O::Add32(O::Load(v + N32), O::WidenHi16(a));
        const I m = O::Packs32(Mean<Odd>(lo, factor), Mean<Odd>(hi, factor));
        if (i + N16 <= lanes) {
          O::StoreBytes(out + i, m);
        } else {
          uint8_t tail[N16];
          O::StoreBytes(tail, m);
          std::memcpy(out + i, tail, size_t(lanes - i));
        }
        const I b = O::Load(ho + i);
        O::Store(v, O::Sub32(lo, O::WidenLo16(b)));
        O::Store(v + N32, O::Sub32(hi, O::WidenHi16(b)));
      }
      if (hook)
        hook(ctx, y);
    }
  }

  // The first bytes (2 * N16 or fewer) of the 16-bit lanes a then b, as bytes
  // at p. One pack and one store serve both vectors. Halves: a and b are the
  // low and high unpacks of a vector of bytes, which the pack alone restores.
  template <bool Halves> static void StorePair(uint8_t* p, I a, I b, size_t bytes) {
    auto store = [&](uint8_t* at) {
      Halves ? O::StoreUnpacked(at, a, b) : O::StoreBytes2(at, a, b);
    };
    if (bytes == size_t(2 * N16)) {
      store(p);
    } else {
      uint8_t tail[2 * N16];
      store(tail);
      std::memcpy(p, tail, bytes);
    }
  }

  // Windows down to 32 rows high: the columns are summed down in 16-bit lanes
  // (a running sum over a ring of the rows in the window, kept as they were
  // before filtering: at most 32 * 255), then across the row, either way
  // below. `across(sums, row, emit)` hands the row's means, as 16-bit lanes,
  // two vectors at a time to emit(i, m0, m1, halves) in order (the second may
  // lie past the row; halves: a TFlag, see StorePair); this walk stores them,
  // or with a fade (sm.Fade) stores them faded and moved up. With Direct, a
  // window one row high whose left reaches back at most one pair of vectors
  // is summed straight from the source row: row is that row at the window's
  // left, and no sums are made. Otherwise row is null. With Grouped, each
  // entering row also leaves in sm.Groups, for lanes [0, groupLanes), the
  // sums of Px neighbouring column sums (see FilterWide), made while the
  // column sums are still in registers.
  template <bool Direct, bool Grouped, class Across>
  static void FilterColumns(uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax,
                            int ay, const TBoxSmall& sm, TBoxRowHook hook, void* ctx, Across across,
                            ptrdiff_t groupLanes = 0) {
    const ptrdiff_t lanes = ptrdiff_t(w) * 4;
    const ptrdiff_t spanLanes = ptrdiff_t(w + mw - 1) * 4;
    const ptrdiff_t whole = spanLanes / N16 * N16;
    const uint8_t* src0 = region - ptrdiff_t(ay) * step - ptrdiff_t(ax) * 4;
    uint16_t* vs = sm.Columns;

    // Source row r (from the window's top) replaces row r - mh in its ring
    // slot, and the column sums move down by one row. A window one row high
    // sums the row itself: it is only widened.
    const bool single = mh == 1;
    const uint16_t* sums = single ? sm.Ring : vs;
    // (Not when a fade keeps rows in place: then the fade's walk changes the
    // row's side columns just before the filter would read them.)
    const bool direct = Direct && single && 4 * ax <= 2 * N16 && !(sm.Fade && sm.Fade->Up == 0);
    auto enter = [&](int r) {
      const uint8_t* src = src0 + ptrdiff_t(r) * step;
      uint16_t* slot = sm.Ring + ptrdiff_t(r % mh) * sm.RowLanes;
      ptrdiff_t i = 0, grouped = 0; // lanes whose groups are made
      if (direct)
        return;
      auto groupRest = [&] {
        if (!Grouped)
          return;
        // The rest, from the sums as stored (zero past the span).
        for (ptrdiff_t l = grouped; l < groupLanes; l += N16) {
          I s = O::Load(sums + l);
          for (int t = 1; t < Px; ++t)
            s = O::Add16(s, O::Load(sums + l + 4 * t));
          O::Store(sm.Groups + l, s);
        }
      };
      if (single) {
        for (; i < whole; i += N16)
          O::Store(slot + i, O::LoadWidenU8(src + i));
        for (; i < spanLanes; ++i)
          slot[i] = src[i];
        groupRest();
        return;
      }
      I before = O::Set16(0);
      for (; i < whole; i += N16) {
        const I fresh = O::LoadWidenU8(src + i);
        const I old = O::Load(slot + i);
        O::Store(slot + i, fresh);
        const I v = O::Add16(O::Load(vs + i), O::Sub16(fresh, old));
        O::Store(vs + i, v);
        if (Grouped && i > 0) {
          O::Store(sm.Groups + i - N16, O::GroupSum(before, v));
          grouped = i;
        }
        before = v;
      }
      for (; i < spanLanes; ++i) {
        const uint16_t fresh = src[i];
        vs[i] = uint16_t(vs[i] + fresh - slot[i]);
        slot[i] = fresh;
      }
      groupRest();
    };
    for (int r = 0; r < mh - 1; ++r)
      enter(r);
    const TBoxFade* fade = sm.Fade;
    const I fadeLanes = O::Broadcast64(fade ? fade->Lanes : 0);
    auto bytesAt = [&](ptrdiff_t i) { return size_t(i + 2 * N16 <= lanes ? 2 * N16 : lanes - i); };
    for (int y = 0; y < h; ++y) {
      enter(y + mh - 1);
      const uint8_t* row = direct ? src0 + ptrdiff_t(y) * step : nullptr;
      uint8_t* out = region + ptrdiff_t(y) * step;
      if (fade) {
        if (fade->BeforeRow)
          fade->BeforeRow(fade->Context, y);
        const bool moved = fade->RegionTop + y - fade->Up >= 0;
        const bool kept = y >= fade->KeepFrom;
        uint8_t* dst = out - ptrdiff_t(fade->Up) * step;
        across(sums, row, [&](ptrdiff_t i, I m0, I m1, auto halves) {
          constexpr bool Halves = decltype(halves)::value;
          if (moved)
            StorePair<Halves>(dst + i, O::Srl16(O::Mul16(m0, fadeLanes), 8),
                              O::Srl16(O::Mul16(m1, fadeLanes), 8), bytesAt(i));
          if (kept)
            StorePair<Halves>(out + i, m0, m1, bytesAt(i));
        });
        continue;
      }
      across(sums, row, [&](ptrdiff_t i, I m0, I m1, auto halves) {
        StorePair<decltype(halves)::value>(out + i, m0, m1, bytesAt(i));
      });
      if (hook)
        hook(ctx, y);
    }
  }

  // Small odd windows (n = mw * mh at most 255): the sums across fit 16 bits
  // too, and the rounded mean is a multiply-high by magic. For odd n no mean
  // lies half-way: nearest(S / n) = floor((S + (n - 1) / 2) / n), which is
  // ((S + bias) * magic) >> (16 + shift) for every S that occurs (the
  // dispatcher checks the magic over the whole range). The window's width is
  // fixed at compile time, so the sums across unroll.
  static void FilterSmall(uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax,
                          int ay, const TBoxSmall& sm, TBoxRowHook hook, void* ctx) {
    switch (mw) {
#define QUELMA_SMALL_WIDTH(n)                                                                      \
  case n:                                                                                          \
    FilterSmallAt<n>(region, step, w, h, mh, ax, ay, sm, hook, ctx);                               \
    return;
      QUELMA_SMALL_WIDTH(1)
      QUELMA_SMALL_WIDTH(3)
      QUELMA_SMALL_WIDTH(5)
      QUELMA_SMALL_WIDTH(7)
      QUELMA_SMALL_WIDTH(9)
      QUELMA_SMALL_WIDTH(11)
      QUELMA_SMALL_WIDTH(13)
      QUELMA_SMALL_WIDTH(15)
      QUELMA_SMALL_WIDTH(17)
#undef QUELMA_SMALL_WIDTH
    default:
      break; // the dispatcher passes odd widths up to 17 only
    }
  }

  template <int mw>
  static void FilterSmallAt(uint8_t* region, ptrdiff_t step, int w, int h, int mh, int ax, int ay,
                            const TBoxSmall& sm, TBoxRowHook hook, void* ctx) {
    const ptrdiff_t lanes = ptrdiff_t(w) * 4;
    const I bias = O::Set16(int16_t(sm.Bias)), magic = O::Set16(int16_t(sm.Magic));
    const int shift = sm.Shift;
    // From five columns on, a running sum across (exact modulo 2^16, like the
    // sums) costs less than summing every column.
    constexpr bool Grouped = mw >= 5;
    // Most windows' magic needs no shift: that one is left out of the loop.
    auto across = [&](auto shifted) {
      return [&, shifted](const uint16_t* sums, const uint8_t* row, auto emit) {
        auto mean = [&](I sum) {
          const I q = O::MulHiU16(O::Add16(sum, bias), magic);
          return decltype(shifted)::value ? O::SrlVar16(q, shift) : q;
        };
        if (row) {
          AcrossRow<mw>(row, lanes, mean, emit);
          return;
        }
        auto sumAt = [&](ptrdiff_t i) {
          I sum = O::Load(sums + i);
          for (int k = 1; k < mw; ++k)
            sum = O::Add16(sum, O::Load(sums + i + 4 * k));
          return sum;
        };
        if (!Grouped) {
          for (ptrdiff_t i = 0; i < lanes; i += 2 * N16)
            emit(i, mean(sumAt(i)), mean(sumAt(i + N16)), TFlag<false>{});
          return;
        }
        // A running sum, moved on by the groups that enter and leave.
        I sum = sumAt(0);
        RunAcross(
            lanes,
            [&](ptrdiff_t i) {
              const uint16_t* g = sm.Groups + i - N16;
              sum = O::Add16(sum, O::Opaque(O::Sub16(O::Load(g + 4 * mw), O::Load(g))));
            },
            [&] { return mean(sum); }, emit);
      };
    };
    const ptrdiff_t groupLanes = GroupLanes(lanes, mw);
    if (shift == 0)
      FilterColumns<true, Grouped>(region, step, w, h, mw, mh, ax, ay, sm, hook, ctx,
                                   across(TFlag<false>{}), groupLanes);
    else
      FilterColumns<true, Grouped>(region, step, w, h, mw, mh, ax, ay, sm, hook, ctx,
                                   across(TFlag<true>{}), groupLanes);
  }

  // The walk of a running sum across a row of the given lanes: advance(i)
  // moves the sum on to the vector at lane i (i > 0), mean() gives the means
  // of the sum as it stands, which go to emit in pairs of vectors.
  template <class Advance, class MeanNow, class Emit>
  static void RunAcross(ptrdiff_t lanes, Advance advance, MeanNow mean, Emit emit) {
    for (ptrdiff_t i = 0; i < lanes; i += 2 * N16) {
      if (i > 0)
        advance(i);
      const I m0 = mean();
      advance(i + N16);
      emit(i, m0, mean(), TFlag<false>{});
    }
  }

  // The lanes of group sums that the running sums across a row of the given
  // lanes read, in pairs of vectors.
  static ptrdiff_t GroupLanes(ptrdiff_t lanes, int mw) {
    return (lanes + 2 * N16 - 1) / (2 * N16) * (2 * N16) + ptrdiff_t(4) * mw;
  }

  // A window one row high, summed straight from the source row's bytes (row:
  // at the window's left): each vector of bytes is unpacked to its low and
  // high halves, which the pack on storing puts back in order. The filter
  // writes the row it reads, so each block's means are handed on only after
  // the next block is read; the caller sees that the window reaches at most
  // one block back.
  template <int mw, class Mean, class Emit>
  static void AcrossRow(const uint8_t* row, ptrdiff_t lanes, Mean mean, Emit emit) {
    constexpr ptrdiff_t block = 2 * N16, reach = ptrdiff_t(4) * (mw - 1);
    auto sums = [&](const uint8_t* at, I& lo, I& hi) {
      const I first = O::Load(at);
      lo = O::UnpackLo8Zero(first);
      hi = O::UnpackHi8Zero(first);
      for (int k = 1; k < mw; ++k) {
        const I b = O::Load(at + 4 * k);
        lo = O::Add16(lo, O::UnpackLo8Zero(b));
        hi = O::Add16(hi, O::UnpackHi8Zero(b));
      }
    };
    I lo, hi, m0 = O::Set16(0), m1 = O::Set16(0);
    ptrdiff_t i = 0;
    // Whole blocks while the reads stay inside the source span.
    for (; i + block <= lanes; i += block) {
      sums(row + i, lo, hi);
      if (i > 0)
        emit(i - block, m0, m1, TFlag<true>{});
      m0 = mean(lo);
      m1 = mean(hi);
    }
    if (i < lanes) {
      // The last, partial block reads a copy of what is left of the span.
      uint8_t rest[block + reach];
      std::memset(rest, 0, sizeof rest);
      std::memcpy(rest, row + i, size_t(lanes - i + reach));
      sums(rest, lo, hi);
      if (i > 0)
        emit(i - block, m0, m1, TFlag<true>{});
      m0 = mean(lo);
      m1 = mean(hi);
      i += block;
    }
    if (i > 0)
      emit(i - block, m0, m1, TFlag<true>{});
  }

  // Wider windows: the sums across need 32 bits. A running sum moves along
  // the row by Px pixels a vector: it takes in the Px column sums that enter
  // the window and gives up the Px that leave, both read as sums of Px
  // columns (16 bits: at most 4 * 32 * 255) from a row of such group sums.
  template <bool Odd>
  static void FilterWide(uint8_t* region, ptrdiff_t step, int w, int h, int mw, int mh, int ax,
                         int ay, const TBoxSmall& sm, TBoxRowHook hook, void* ctx) {
    const ptrdiff_t lanes = ptrdiff_t(w) * 4;
    const ptrdiff_t groupLanes = GroupLanes(lanes, mw);
    const int n = mw * mh;
    const F factor = O::SetF(Odd ? 1.0f / float(n) : float(n));
    uint16_t* g = sm.Groups;
    FilterColumns<false, true>(
        region, step, w, h, mw, mh, ax, ay, sm, hook, ctx,
        [&](const uint16_t* sums, const uint8_t*, auto emit) {
          I lo = O::Set32(0), hi = O::Set32(0);
          for (int k = 0; k < mw; ++k) {
            const I c = O::Load(sums + 4 * k);
            lo = O::Add32(lo, O::WidenLo16(c));
            hi = O::Add32(hi, O::WidenHi16(c));
          }
          // The running sum takes the signed 16-bit difference of the entering and
          // leaving groups, widened with its sign.
          RunAcross(
              lanes,
              [&](ptrdiff_t i) {
                const I d = O::Sub16(O::Load(g + i - N16 + 4 * mw), O::Load(g + i - N16));
                const I sign = O::Sra16(d, 15);
                lo = O::Add32(lo, O::UnpackLo16(d, sign));
                hi = O::Add32(hi, O::UnpackHi16(d, sign));
              },
              [&] { return O::Packs32(Mean<Odd>(lo, factor), Mean<Odd>(hi, factor)); }, emit);
        },
        groupLanes);
  }

  // ---- Lane scaling ----------------------------------------------------------

  // Lanes all at most 257: the 16-bit product cannot overflow and the shifted
  // result needs no saturation.
  static void ScaleLanes(const uint32_t* src, uint32_t* dst, int32_t count, uint64_t lanes) {
    const I f = O::Broadcast64(lanes);
    const uint8_t* s = reinterpret_cast<const uint8_t*>(src);
    uint8_t* d = reinterpret_cast<uint8_t*>(dst);
    const ptrdiff_t bytes = ptrdiff_t(count) * 4;
    auto scaled = [&](const uint8_t* at) { return O::Srl16(O::Mul16(O::LoadWidenU8(at), f), 8); };
    ptrdiff_t i = 0;
    for (; i + 2 * N16 <= bytes; i += 2 * N16)
      O::StoreBytes2(d + i, scaled(s + i), scaled(s + i + N16));
    for (; i + N16 <= bytes; i += N16)
      O::StoreBytes(d + i, scaled(s + i));
    if (i < bytes) {
      uint8_t tail[N16] = {};
      std::memcpy(tail, s + i, size_t(bytes - i));
      O::StoreBytes(tail, scaled(tail));
      std::memcpy(d + i, tail, size_t(bytes - i));
    }
  }

  // ---- Spots -----------------------------------------------------------------

  // N32 pixels at p (whole vector), levels from u. keep (when Masked): all
  // ones in the lanes to paint (a lane left out gets level 0, which adds
  // nothing). c256: the colour's bytes times 256 in 16-bit lanes, so that the
  // high half of the product with a level is (c * level) >> 8.
  template <bool WithLevels, bool Fat, bool Cap, bool Masked>
  static void SpotBlock(uint32_t* p, const float* u, int32_t* levels, F dyd, F k, I c256, I keep) {
    const F v = O::AddF(O::LoadF(u), dyd);
    const F m = O::MulF(O::SqrtF(v), k);
    F a;
    if (Fat)
      a = O::MulF(O::SqrtF(O::AddF(m, O::SetF(1.0f))), O::SetF(256.0f));
    else
      a = O::AddF(m, O::SetF(256.0f));
    // No value converts to the most negative integer, which the clamp makes 0.
    I level = O::ToIntNearest(a);
    if (WithLevels) {
      // As the scalar conversion: no value gives 0.
      const I none = O::CmpEq32(level, O::Set32(INT32_MIN));
      O::Store(levels, O::AndNot(none, level));
    }
    if (Cap)
      level = O::Min32(level, O::Set32(256));
    if (Masked)
      level = O::And(keep, level);
    // Each level (those below 0 as 0) into the four 16-bit lanes of its pixel.
    I fLo, fHi;
    O::SpreadLevels(level, fLo, fHi);
    const I add = O::PackUs16(O::MulHiU16(c256, fLo), O::MulHiU16(c256, fHi));
    O::Store(p, O::AddsU8(O::Load(p), add));
  }

  // Rows [first, end) of the box. Levels above 256 come only from a positive
  // (or not-a-number) factor K: otherwise every level is 256 or less and needs
  // no cap.
  template <bool WithLevels>
  static void SpotBoxAny(uint8_t* topLeft, ptrdiff_t stride, const TSpotBox& b, float* work,
                         int32_t first, int32_t end) {
    const bool cap = !(b.K <= 0);
    if (b.Fat)
      cap ? SpotBox<WithLevels, true, true>(topLeft, stride, b, work, first, end)
          : SpotBox<WithLevels, true, false>(topLeft, stride, b, work, first, end);
    else
      cap ? SpotBox<WithLevels, false, true>(topLeft, stride, b, work, first, end)
          : SpotBox<WithLevels, false, false>(topLeft, stride, b, work, first, end);
  }

  template <bool WithLevels, bool Fat, bool Cap>
  static void SpotBox(uint8_t* topLeft, ptrdiff_t stride, const TSpotBox& b, float* work,
                      int32_t first, int32_t end) {
    const int32_t w = b.Width;
    // d0 is the box's top row's, painted or not: every row's sum goes through it.
    const float dyTop = float(b.Top) - b.Cy;
    const float d0 = dyTop * dyTop;
    // The first row's (x - cx)^2 + d0, once for every row.
    float* u = work;
    {
      const F x0 = O::SetF(b.X0), fd0 = O::SetF(d0);
      for (int32_t j = 0; j < w; j += N32) {
        const F x = O::AddF(x0, O::ToFloat(O::Add32(O::Iota32(), O::Set32(j))));
        O::StoreF(u + j, O::AddF(O::MulF(x, x), fd0));
      }
    }
    const uint64_t c = b.Color;
    const I c256 = O::Broadcast64(
        ((c & 0xFF) | ((c >> 8) & 0xFF) << 16 | ((c >> 16) & 0xFF) << 32 | ((c >> 24) & 0xFF) << 48)
        << 8);
    const F k = O::SetF(b.K);
    const I all = O::Set32(-1);
    // Every row the same walk: whole vectors, then the last lanes through one
    // more vector whose spare lanes get no light. That one reads and writes
    // back unchanged the pixels past the box where the row has room; at the
    // row's end it is the box's last whole vector again, painting only the
    // lanes not done yet (their levels are the same either way). It does not
    // start inside the previous store where it can help it: reading back part
    // of a store still in flight stalls.
    const int32_t whole = w / N32 * N32;
    const bool room = b.Room >= whole + N32;
    const int32_t tailAt = room ? whole : w - N32;
    const I tailKeep = room ? O::CmpGt32(O::Set32(w - whole), O::Iota32())
                            : O::CmpGt32(O::Iota32(), O::Set32(whole - tailAt - 1));
    int32_t lv[N32];
    auto rowDyd = [&](int32_t i) {
      const float dy = float(b.Top + i) - b.Cy;
      const float dy2 = dy * dy;
      return O::SetF(dy2 - d0);
    };
    auto rowAt = [&](int32_t i) {
      return reinterpret_cast<uint32_t*>(topLeft + ptrdiff_t(i) * stride);
    };
    if (w < N32) {
      for (int32_t i = first; i < end; ++i) {
        uint32_t* row = rowAt(i);
        if (room) {
          SpotBlock<WithLevels, Fat, Cap, true>(row, u, lv, rowDyd(i), k, c256, tailKeep);
        } else {
          uint32_t px[N32] = {};
          std::memcpy(px, row, size_t(w) * 4);
          SpotBlock<WithLevels, Fat, Cap, true>(px, u, lv, rowDyd(i), k, c256,
                                                O::CmpGt32(O::Set32(w), O::Iota32()));
          std::memcpy(row, px, size_t(w) * 4);
        }
        if (WithLevels)
          std::memcpy(b.Levels + ptrdiff_t(i) * w, lv, size_t(w) * 4);
      }
      return;
    }
    for (int32_t i = first; i < end; ++i) {
      const F dyd = rowDyd(i);
      uint32_t* row = rowAt(i);
      int32_t* levels = WithLevels ? b.Levels + ptrdiff_t(i) * w : nullptr;
      for (int32_t j = 0; j < whole; j += N32)
        SpotBlock<WithLevels, Fat, Cap, false>(row + j, u + j, WithLevels ? levels + j : nullptr,
                                               dyd, k, c256, all);
      if (whole < w) {
        if (WithLevels && room) {
          SpotBlock<true, Fat, Cap, true>(row + tailAt, u + tailAt, lv, dyd, k, c256, tailKeep);
          std::memcpy(levels + whole, lv, size_t(w - whole) * 4);
        } else {
          SpotBlock<WithLevels, Fat, Cap, true>(row + tailAt, u + tailAt,
                                                WithLevels ? levels + tailAt : nullptr, dyd, k,
                                                c256, tailKeep);
        }
      }
    }
  }
};

} // namespace
