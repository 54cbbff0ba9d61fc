#pragma once

// Scans of UTF-16 text that look at several code units at a time. Each has
// a plain loop that gives the same answer where the vector instructions
// are missing; the plain loop also finishes what is left after the last
// whole vector.

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ZPHTextScan {

#if defined(__SSE2__)
namespace detail {

inline __m128i load(const char16_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// Lanes (all bits set) whose unit is a surrogate: its top five bits are 11011.
inline __m128i surrogates(__m128i units)
{
  return _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(short(0xF800))), _mm_set1_epi16(short(0xD800)));
}

// Lanes whose unit is at most `most` (an unsigned comparison).
inline __m128i atMost(__m128i units, char16_t most)
{
  return _mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(short(most))), _mm_setzero_si128());
}

}  // namespace detail
#endif

// The first unit of [from, end) that is a surrogate, high or low; `end`
// when there is none.
inline const char16_t* firstSurrogate(const char16_t* from, const char16_t* end)
{
#if defined(__SSE2__)
  for (; end - from >= 32; from += 32) {
    const __m128i a = detail::surrogates(detail::load(from));
    const __m128i b = detail::surrogates(detail::load(from + 8));
    const __m128i c = detail::surrogates(detail::load(from + 16));
    const __m128i d = detail::surrogates(detail::load(from + 24));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0)
      break;
  }
  for (; end - from >= 8; from += 8) {
    if (_mm_movemask_epi8(detail::surrogates(detail::load(from))) != 0)
      break;
  }
#endif
  for (; from != end; ++from) {
    if ((*from & 0xF800) == 0xD800)
      return from;
  }
  return end;
}

// The first unit of [from, end) that is at most `most`; `end` when every
// unit is above it.
inline const char16_t* firstAtMost(const char16_t* from, const char16_t* end, char16_t most)
{
#if defined(__SSE2__)
  for (; end - from >= 8; from += 8) {
    const int found = _mm_movemask_epi8(detail::atMost(detail::load(from), most));
    if (found != 0)
      return from + __builtin_ctz(unsigned(found)) / 2;
  }
#endif
  for (; from != end; ++from) {
    if (*from <= most)
      return from;
  }
  return end;
}

// Copies units from `in` to `out` with the ASCII capitals made small, up
// to the first unit that is not ASCII or `count` units; returns how many
// it copied.
inline long copyASCIILowerCased(const char16_t* in, char16_t* out, long count)
{
  long i = 0;
#if defined(__SSE2__)
  for (; count - i >= 8; i += 8) {
    const __m128i units = detail::load(in + i);
    if (_mm_movemask_epi8(detail::atMost(units, 0x7F)) != 0xFFFF)
      break;  // the plain loop finds where
    // Capitals are the units whose distance from 'A' is at most 25.
    const __m128i capitals = detail::atMost(_mm_sub_epi16(units, _mm_set1_epi16(short(u'A'))), 25);
    const __m128i lowered = _mm_add_epi16(units, _mm_and_si128(capitals, _mm_set1_epi16(short(u'a' - u'A'))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), lowered);
  }
#endif
  for (; i < count; ++i) {
    const char16_t u = in[i];
    if (u >= 0x80)
      break;
    out[i] = u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u;
  }
  return i;
}

}  // namespace ZPHTextScan
