#include "MlgParser.h"

#include <climits>

#include "LanguageId.h"
#include "TextFile.h"

namespace {
bool IsComment(const std::wstring& trimmed) { return trimmed[0] == L';' || trimmed[0] == L'#'; }

// "[0x0804, 0x1004]": one or more language ids separated by commas.
bool ParseSectionHeader(const std::wstring& trimmed, std::vector<unsigned short>& languages) {
    if (trimmed.size() < 3 || trimmed.front() != L'[' || trimmed.back() != L']') return false;
    const std::wstring inner = trimmed.substr(1, trimmed.size() - 2);
    std::vector<unsigned short> ids;
    size_t start = 0;
    for (;;) {
        const size_t comma = inner.find(L',', start);
        const std::wstring item = inner.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        unsigned short id = 0;
        if (!ParseLanguageId(item, id)) return false;
        ids.push_back(id);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    languages = std::move(ids);
    return true;
}

bool ParseNumber(const std::wstring& text, int& out) {
    const std::wstring trimmed = TrimBlanks(text);
    if (trimmed.empty()) return false;
    long long value = 0;
    for (wchar_t c : trimmed) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX) return false;
    }
    out = static_cast<int>(value);
    return true;
}
}  // namespace

bool MessageTable::Add(unsigned short langId, int number, const std::wstring& text) {
    return m_texts[langId].emplace(number, text).second;
}

bool MessageTable::HasLanguage(unsigned short langId) const { return m_texts.count(langId) != 0; }

const std::wstring* MessageTable::Find(const std::vector<unsigned short>& languages, int number) const {
    for (unsigned short langId : languages) {
        const auto language = m_texts.find(langId);
        if (language == m_texts.end()) continue;
        const auto text = language->second.find(number);
        if (text != language->second.end()) return &text->second;
    }
    return nullptr;
}

ParsedMessages ParseMessages(const std::wstring& text) {
    ParsedMessages result;
    std::vector<unsigned short> section;  // empty: outside any valid section
    int lineNumber = 0;
    for (const std::wstring& line : SplitLines(text)) {
        ++lineNumber;
        const std::wstring trimmed = TrimBlanks(line);
        if (trimmed.empty() || IsComment(trimmed)) continue;
        if (trimmed[0] == L'[') {
            if (!ParseSectionHeader(trimmed, section)) {
                // The texts that follow must not slip into the previous language.
                section.clear();
                result.rejected.push_back({lineNumber, LineProblem::BadSectionHeader});
            }
            continue;
        }
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) {
            result.rejected.push_back({lineNumber, LineProblem::NotATextLine});
            continue;
        }
        if (section.empty()) {
            result.rejected.push_back({lineNumber, LineProblem::OutsideSection});
            continue;
        }
        int number = 0;
        if (!ParseNumber(line.substr(0, equals), number)) {
            result.rejected.push_back({lineNumber, LineProblem::BadNumber});
            continue;
        }
        // The text is everything after "=", blanks included: it is shown as it stands.
        const std::wstring message = line.substr(equals + 1);
        if (message.size() > MAX_MESSAGE_LENGTH) {
            result.rejected.push_back({lineNumber, LineProblem::TextTooLong});
            continue;
        }
        if (message.find(L'\0') != std::wstring::npos) {
            result.rejected.push_back({lineNumber, LineProblem::ContainsNul});
            continue;
        }
        bool duplicate = false;
        for (unsigned short langId : section) {
            if (!result.table.Add(langId, number, message)) duplicate = true;
        }
        if (duplicate) result.rejected.push_back({lineNumber, LineProblem::DuplicateNumber});
    }
    return result;
}
