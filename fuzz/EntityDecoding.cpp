// Entity decoding and the older family's entity converters on arbitrary
// text: never a crash, and decoding never makes markup.
// Seeds: tests/fixtures/html fuzz/seeds/entities

#include "ZPHFuzzSupport.h"

#include "foundation/CBEntityConversion.h"
#include "foundation/CBEntityDecoding.h"

namespace {

qsizetype carets(const QString& text) { return text.count(u'<') + text.count(u'>'); }

bool isWellFormedUTF16(const QString& text)
{
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate()) {
      if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
        return false;
      ++i;
    } else if (text[i].isLowSurrogate()) {
      return false;
    }
  }
  return true;
}

void exercise(const QString& text)
{
  const qsizetype caretsBefore = carets(text);
  for (int flags = 0; flags < 4; ++flags) {
    const QString decoded = cb_stringWithDecodedEntities(text, flags & 1, flags & 2);
    // A reference may swallow a caret ("&#2<;" reads as 2), never make one.
    ZPH_FUZZ_CHECK(carets(decoded) <= caretsBefore);
    ZPH_FUZZ_CHECK(CobbletonExtras::stringWithDecodedEntities(text, flags & 1, flags & 2) == decoded);
  }
  const QString decoded = CBStringWithDecodedEntities(text);
  ZPH_FUZZ_CHECK(decoded == cb_stringWithDecodedEntities(text));
  ZPH_FUZZ_CHECK(CobbletonExtras::stringWithDecodedEntities(text) == decoded);
  ZPH_FUZZ_CHECK(CobbletonExtras::convertFromCommonEntities(text, QVariant(), false) ==
                 CobbletonExtras::stringWithDecodedEntities(text, false));
  if (!text.contains(u'&'))
    ZPH_FUZZ_CHECK(decoded == text);

  quint32 value = 7;
  cb_intValueFromHexDigit(text, &value);
  uint value2 = 7;
  CobbletonExtras::intValueFromHexDigit(text, &value2);

  CBStringUnescapeXMLEntities(text);
  CobbletonExtras::entityForCharacterString(text.left(2));
  CobbletonExtras::stringWithAmpersandEntitiesDecoded(text);

  const QString escaped = CobbletonExtras::convertEntities(text);
  ZPH_FUZZ_CHECK(!escaped.contains(u'<') && !escaped.contains(u'>') && !escaped.contains(u'"'));

  const QString ascii = CobbletonExtras::convertHighCharsToEntities(text);
  ZPH_FUZZ_CHECK(!CobbletonExtras::hasHighChars(ascii));
  ZPH_FUZZ_CHECK(CobbletonExtras::hasHighChars(text) || ascii == text);

  const QString repaired = CobbletonExtras::zph_stringByReplacingSingularSurrogates(text);
  ZPH_FUZZ_CHECK(repaired.size() == text.size());
  ZPH_FUZZ_CHECK(isWellFormedUTF16(repaired));

  QString inPlace = text;
  CobbletonExtras::replaceAmpersandEntities(inPlace);
  inPlace = text;
  CobbletonExtras::replaceEntity38WithAmpersand(inPlace);
  inPlace = text;
  CobbletonExtras::replaceXMLCharacterReferences(inPlace);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  zphFuzzSilenceLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  exercise(zphFuzzUTF8(data, size));
  exercise(zphFuzzUTF16(data, size));
  return 0;
}
