#pragma once

// The named character references of HTML ("&bull;", "&rarr;", "&alpha;", ...):
// the full table of the HTML standard, names without "&" and ";" mapped to
// their text in UTF-8 (one or two code points). The table is generated once
// into ZPHHTMLNamedCharacterReferences.cpp by
// tools/generate_html_named_character_references.py and committed.
//
// These are HTML's own values, "&", "<" and ">" included; what feed text makes
// of them is CBEntityDecoding's to decide. Read-only; any thread.

#include <cstddef>
#include <string_view>

struct ZPHHTMLNamedCharacterReference {
  const char* name;   // ASCII, e.g. "bull"
  const char* value;  // UTF-8, e.g. "\342\200\242"
};

// The table, sorted by name in byte order; its size in *count.
const ZPHHTMLNamedCharacterReference* ZPHHTMLNamedCharacterReferenceTable(std::size_t* count);

// The UTF-8 text of the reference named `name` (case-sensitive: "Alpha" and
// "alpha" differ), or null when HTML has no reference of that name.
const char* ZPHHTMLNamedCharacterReferenceValue(std::string_view name);
