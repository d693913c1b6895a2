#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

// The message file: texts by number, per language (the format is described in FORMATS.md).

// A longer text line is rejected whole, never shortened.
constexpr size_t MAX_MESSAGE_LENGTH = 4096;

enum class LineProblem {
    OutsideSection,    // a text line before any valid section header, or after a bad one
    BadSectionHeader,  // "[...]" that does not hold a list of language ids
    NotATextLine,      // neither blank, comment, header nor "<number>=<text>"
    BadNumber,         // the part before "=" is not a number from 0 to 2147483647
    DuplicateNumber,   // the number already has a text in this language; the first one stays
    TextTooLong,       // longer than MAX_MESSAGE_LENGTH
    ContainsNul,       // a zero character would end the text early at its reader
};

struct RejectedLine {
    int line;  // 1-based
    LineProblem problem;
};

class MessageTable {
public:
    // True when stored; false when the language already has a text with that number.
    bool Add(unsigned short langId, int number, const std::wstring& text);
    bool HasLanguage(unsigned short langId) const;
    // The first of `languages` (in order) that has a text with this number; null when none has.
    const std::wstring* Find(const std::vector<unsigned short>& languages, int number) const;

private:
    std::map<unsigned short, std::map<int, std::wstring>> m_texts;
};

struct ParsedMessages {
    MessageTable table;
    std::vector<RejectedLine> rejected;
};

// Parses decoded message-file text; bad lines are skipped (and listed), the rest is kept.
ParsedMessages ParseMessages(const std::wstring& text);
