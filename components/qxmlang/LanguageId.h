#pragma once
#include <string>
#include <vector>

// Windows language identifiers (LANGID): primary language in the low 10 bits, sublanguage above.
constexpr unsigned short ENGLISH_UNITED_STATES = 0x0409;

// "0x0404" (hexadecimal) or "1028" (decimal), blanks around allowed; at most 0xFFFF and with a
// primary language other than 0 (which names no language).
bool ParseLanguageId(const std::wstring& text, unsigned short& out);

// The languages to try, in order, for a text wanted in `active`:
//   the exact language; its primary language (a section for the bare primary id such as 0x0007,
//   then the primary language's default sublanguage such as 0x0407); the language the settings
//   file names (0 = none); English (United States).
// Zero and repeated ids are left out.
std::vector<unsigned short> LanguageCandidates(unsigned short active, unsigned short settingsFallback);
